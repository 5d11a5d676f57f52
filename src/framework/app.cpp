// The application object, its message loop and profile, frames, message
// boxes and the process entry.
#include <QApplication>
#include <QCoreApplication>
#include <QEventLoop>
#include <QFileInfo>
#include <QIcon>
#include <QMessageBox>
#include <QPushButton>
#include <QSessionManager>
#include <QSettings>
#include <QStorageInfo>
#include <utility>

#include "framework/internal.h"

namespace {

CWinApp* g_app = nullptr;
int g_nestedLoops = 0;

// Receives the wake-ups of AfxWakeMessageLoop. The main loop does the
// application's work itself before each message; a nested loop does it
// here.
class LoopWaker : public QObject {
public:
    static LoopWaker& Get() {
        static auto* waker = [] {
            auto* w = new LoopWaker();
            if (QCoreApplication::instance())
                w->moveToThread(QCoreApplication::instance()->thread());
            return w;
        }();
        return *waker;
    }

protected:
    bool event(QEvent* e) override {
        if (e->type() != QEvent::User)
            return QObject::event(e);
        if (g_nestedLoops > 0 && g_app)
            g_app->OnNestedLoopWork();
        return true;
    }
};
MessageBoxPort* g_boxPort = nullptr;
CString g_commandLine;
// The program's arguments as the process got them, when it got them.
QStringList g_arguments;
bool g_argumentsKnown = false;

// The real message boxes, with the button texts of a Korean desktop.
int ShowRealMessageBox(const CString& text, const CString& caption, UINT type) {
    QMessageBox box;
    // Owned by the hidden main window, as the framework's boxes are: the
    // chat windows stay usable while it is open.
    box.setWindowModality(Qt::WindowModal);
    box.setWindowTitle(caption);
    box.setText(text);
    if (type == MB_YESNO) {
        QPushButton* yes = box.addButton(QStringLiteral("예(&Y)"), QMessageBox::YesRole);
        QPushButton* no = box.addButton(QStringLiteral("아니요(&N)"), QMessageBox::NoRole);
        box.setDefaultButton(yes);
        box.setEscapeButton(no);
        box.exec();
        return box.clickedButton() == yes ? IDYES : IDNO;
    }
    QPushButton* ok = box.addButton(QStringLiteral("확인"), QMessageBox::AcceptRole);
    box.setDefaultButton(ok);
    box.setEscapeButton(ok);
    box.exec();
    return IDOK;
}

}  // namespace

// ---------------------------------------------------------------------------
// CFrameWnd.

BOOL CFrameWnd::LoadFrame(UINT, DWORD style, CWnd* parent, void*) {
    CREATESTRUCT probe;
    // The frame's class is looked up once before the creation itself, as the
    // framework's frame loading does when it looks for the frame's icon.
    probe.style = style;
    probe.lpszClass = QStringLiteral("AfxFrameOrView");
    if (!PreCreateWindow(probe))
        return FALSE;
    const int useDefault = static_cast<int>(0x80000000);
    BOOL ok = CreateEx(0, probe.lpszClass, QString(), style, useDefault, useDefault, useDefault,
                       useDefault, parent ? parent->m_hWnd : nullptr, 0);
    if (ok && GetPeer()) {
        GetPeer()->setWindowIcon(*static_cast<QIcon*>(LoadIconW(nullptr, IDI_APPLICATION_ICON)));
    }
    return ok;
}

BOOL CFrameWnd::PreCreateWindow(CREATESTRUCT& cs) {
    if (cs.x == static_cast<int>(0x80000000)) {
        cs.x = 0;
        cs.y = 0;
    }
    if (cs.cx == static_cast<int>(0x80000000)) {
        cs.cx = 640;
        cs.cy = 480;
    }
    cs.dwExStyle |= WS_EX_CLIENTEDGE;
    return TRUE;
}

// Fits the first pane (the view) to the client area.
void CFrameWnd::OnSize(UINT type, int cx, int cy) {
    CWnd::OnSize(type, cx, cy);
    if (type == SIZE_MINIMIZED)
        return;
    if (HWND child = GetWindow(m_hWnd, GW_CHILD)) {
        RECT r;
        GetClientRect(&r);
        ::SetWindowPos(child, nullptr, 0, 0, r.right, r.bottom, SWP_NOZORDER);
    }
}

void CFrameWnd::PostNcDestroy() {
    delete this;
}

// ---------------------------------------------------------------------------
// CWinApp.

CWinApp::CWinApp(const CString& appName) : m_pszAppName(appName) {
    g_app = this;
}

CWinApp::~CWinApp() {
    if (g_app == this)
        g_app = nullptr;
}

BOOL CWinApp::InitInstance() {
    return TRUE;
}

BOOL CWinApp::PumpMessage() {
    if (framework::QuitPosted())
        return FALSE;
    QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    return framework::QuitPosted() ? FALSE : TRUE;
}

int CWinApp::ExitInstance() {
    return framework::QuitExitCode();
}

int CWinApp::Run() {
    // Without a main window there is nothing to run for.
    if (!m_pMainWnd)
        PostQuitMessage(0);
    while (PumpMessage()) {
    }
    return ExitInstance();
}

namespace {
// The registry key names a directory of the user's configuration: any
// character that could lead out of it or into a sub-directory (separators,
// a leading dot, control characters, and '%' itself) is written as %XX of
// its UTF-8 bytes. Ordinary names stay as they are, so their stored values
// are found again.
QString ProfileDirectoryName(const QString& key) {
    QString name;
    for (qsizetype i = 0; i < key.size(); ++i) {
        const QChar c = key[i];
        const bool unsafe = c == QLatin1Char('/') || c == QLatin1Char('\\') ||
                            c == QLatin1Char('%') || c.unicode() < 0x20 || c.unicode() == 0x7F ||
                            (i == 0 && c == QLatin1Char('.'));
        if (!unsafe) {
            name += c;
            continue;
        }
        for (const char b : QString(c).toUtf8())
            name += QStringLiteral("%%1")
                        .arg(static_cast<unsigned char>(b), 2, 16, QLatin1Char('0'))
                        .toUpper();
    }
    return name;
}

QSettings OpenProfile(const CWinApp& app) {
    const QString organization =
        app.m_pszRegistryKey.isEmpty() ? app.m_pszAppName : app.m_pszRegistryKey;
    return QSettings(QSettings::NativeFormat, QSettings::UserScope,
                     ProfileDirectoryName(organization), app.m_pszAppName);
}
QString ProfileKey(const CString& section, const CString& entry) {
    return section + QLatin1Char('/') + entry;
}
}  // namespace

void CWinApp::SetRegistryKey(const CString& key) {
    m_pszRegistryKey = key;
    m_registryKeySet = true;
}

CString CWinApp::GetProfileString(const CString& section, const CString& entry,
                                  const CString& def) {
    if (!m_registryKeySet)
        return def;
    const auto unsaved = m_unsaved.find(ProfileKey(section, entry));
    if (unsaved != m_unsaved.end())
        return unsaved->second;
    QSettings s = OpenProfile(*this);
    const QVariant v = s.value(ProfileKey(section, entry));
    return v.isValid() ? v.toString() : def;
}

UINT CWinApp::GetProfileInt(const CString& section, const CString& entry, int def) {
    if (!m_registryKeySet)
        return static_cast<UINT>(def);
    QVariant v;
    const auto unsaved = m_unsaved.find(ProfileKey(section, entry));
    if (unsaved != m_unsaved.end()) {
        v = unsaved->second;
    } else {
        QSettings s = OpenProfile(*this);
        v = s.value(ProfileKey(section, entry));
    }
    bool ok = false;
    const int n = v.toInt(&ok);
    return static_cast<UINT>(ok ? n : def);
}

BOOL CWinApp::WriteProfileString(const CString& section, const CString& entry,
                                 const CString& value) {
    return WriteProfileValue(section, entry, value);
}

BOOL CWinApp::WriteProfileInt(const CString& section, const CString& entry, int value) {
    return WriteProfileValue(section, entry, value);
}

namespace {
// Why the settings file cannot be written, in the system's words where it
// has them.
QString WhyNotWritable(const QString& file) {
    // The nearest of its directories that exists (the root at the latest).
    QFileInfo dir(QFileInfo(file).absolutePath());
    while (!dir.exists() && dir.absoluteFilePath() != dir.absolutePath())
        dir = QFileInfo(dir.absolutePath());
    if (dir.exists() && !dir.isDir())
        return QStringLiteral("%1 is not a directory").arg(dir.absoluteFilePath());
    const QStorageInfo storage(dir.absoluteFilePath());
    if (storage.isValid() && storage.isReadOnly())
        return QStringLiteral("its file system is read-only");
    if (storage.isValid() && storage.bytesAvailable() == 0)
        return QStringLiteral("no space is left on its device");
    const QFileInfo existing(file);
    if (!(existing.exists() ? existing : dir).isWritable())
        return QStringLiteral("permission denied");
    return QStringLiteral("it could not be written");
}
}  // namespace

// Written through at once, so that nothing is lost when the program ends
// abruptly.
BOOL CWinApp::WriteProfileValue(const CString& section, const CString& entry,
                                const QVariant& value) {
    if (!m_registryKeySet)
        return FALSE;
    const QString key = ProfileKey(section, entry);
    m_unsaved.erase(key);
    QSettings s = OpenProfile(*this);
    // Values that could not be written before are written with this one.
    for (const auto& [unsavedKey, unsavedValue] : m_unsaved)
        s.setValue(unsavedKey, unsavedValue);
    s.setValue(key, value);
    s.sync();
    if (s.status() == QSettings::NoError) {
        m_unsaved.clear();
        return TRUE;
    }
    m_unsaved[key] = value.toString();
    if (!m_toldUnsaved) {
        m_toldUnsaved = true;
        OnProfileNotSaved(s.fileName(), WhyNotWritable(s.fileName()));
    }
    return FALSE;
}

CWinApp* AfxGetApp() {
    return g_app;
}
CWnd* AfxGetMainWnd() {
    return g_app ? g_app->m_pMainWnd : nullptr;
}

void AfxSetMessageBoxPort(MessageBoxPort* port) {
    g_boxPort = port;
}

CNestedLoopScope::CNestedLoopScope() {
    ++g_nestedLoops;
    // Work announced before the loop started is done in it.
    AfxWakeMessageLoop();
}

CNestedLoopScope::~CNestedLoopScope() {
    --g_nestedLoops;
}

void AfxWakeMessageLoop() {
    if (QCoreApplication::instance())
        QCoreApplication::postEvent(&LoopWaker::Get(), new QEvent(QEvent::User));
}

int AfxMessageBox(const CString& text, UINT type, UINT) {
    const CString caption = g_app ? g_app->m_pszAppName : CString();
    CNestedLoopScope nested;
    if (g_boxPort)
        return g_boxPort->Show(text, caption, type);
    return ShowRealMessageBox(text, caption, type);
}

// ---------------------------------------------------------------------------
// Process entry and command line.

CString GetCommandLineW() {
    return g_commandLine;
}
void SetCommandLineForProcess(const CString& text) {
    g_commandLine = text;
    g_argumentsKnown = false;
}

namespace {
// The command line's first word (the program's name, quoted or not) and
// the position just after it.
std::pair<QString, qsizetype> ProgramNameOf(const QString& line) {
    if (line.startsWith(QLatin1Char('"'))) {
        const qsizetype end = line.indexOf(QLatin1Char('"'), 1);
        if (end < 0)
            return {line.mid(1), line.size()};
        return {line.mid(1, end - 1), end + 1};
    }
    qsizetype end = line.indexOf(QLatin1Char(' '));
    end = end < 0 ? line.size() : end;
    return {line.left(end), end};
}
// The program starts from its desktop entry, a link or its autostart
// entry. A session manager that restored it from the last session as well
// would start it twice at login: it asks every session manager (XSMP) not
// to restart it.
void AskNotToBeRestoredBySession(QGuiApplication& toolkit) {
    const auto never = [](QSessionManager& session) {
        session.setRestartHint(QSessionManager::RestartNever);
    };
    QObject::connect(&toolkit, &QGuiApplication::commitDataRequest, &toolkit, never,
                     Qt::DirectConnection);
    QObject::connect(&toolkit, &QGuiApplication::saveStateRequest, &toolkit, never,
                     Qt::DirectConnection);
}
}  // namespace

QStringList CommandLineArguments() {
    if (g_argumentsKnown)
        return g_arguments;
    // A command line given as text: the words after the program's name.
    const qsizetype from = ProgramNameOf(g_commandLine).second;
    return g_commandLine.mid(from).split(QLatin1Char(' '), Qt::SkipEmptyParts);
}

CString ExecutableMarker() {
#ifdef _WIN32
    return QStringLiteral(".exe");
#else
    // The name the program was started by, as the command line's first
    // word has it: a link in bin/ or a renamed copy has a name of its own,
    // which the executable's real file name would not find.
    QString name = QFileInfo(ProgramNameOf(g_commandLine).first).fileName();
    if (name.isEmpty() && QCoreApplication::instance())
        name = QFileInfo(QCoreApplication::applicationFilePath()).fileName();
    return name.isEmpty() ? QStringLiteral(".exe") : name;
#endif
}

bool HasCommandLineSwitch(const CString& name) {
    return CommandLineArguments().contains(name);
}

int AfxWinMain(int argc, char** argv) {
    QString line;
    if (argc > 0)
        line = QLatin1Char('"') + QString::fromLocal8Bit(argv[0]) + QLatin1Char('"');
    QStringList arguments;
    for (int i = 1; i < argc; ++i) {
        arguments << QString::fromLocal8Bit(argv[i]);
        line += QLatin1Char(' ') + arguments.back();
    }
    SetCommandLineForProcess(line);
    g_arguments = arguments;
    g_argumentsKnown = true;

    // Only the program's own name reaches the toolkit, so that neither it nor
    // the browser engine interprets the launch parameters.
    int toolkitArgc = 1;
    char* toolkitArgv[] = {argc > 0 ? argv[0] : const_cast<char*>("VelkSTKApp"), nullptr};
    QApplication toolkit(toolkitArgc, toolkitArgv);
    QApplication::setQuitOnLastWindowClosed(false);
    AskNotToBeRestoredBySession(toolkit);

    CWinApp* app = AfxGetApp();
    if (!app)
        return 1;
    if (app->m_pszAppName.isEmpty()) {
        app->m_pszAppName = QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
    }
    int code;
    if (!app->InitInstance()) {
        code = app->ExitInstance();
    } else {
        code = app->Run();
    }
    DiscardPostedMessages();
    return code;
}
