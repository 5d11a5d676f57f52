// The floor for start-up and memory: a bare Qt WebEngine view (or several)
// loading a page, nothing else. Usage: bare_view URL [VIEWS]
#include <QApplication>
#include <QWebEngineView>
#include <memory>
#include <vector>

int main(int argc, char** argv) {
    if (argc < 2)
        return 2;
    int qargc = 1;
    // As the shell does: no sandbox (the benchmark may run as root).
    qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    QApplication app(qargc, argv);
    const int count = argc > 2 ? std::max(1, atoi(argv[2])) : 1;
    std::vector<std::unique_ptr<QWebEngineView>> views;
    for (int i = 0; i < count; ++i) {
        views.push_back(std::make_unique<QWebEngineView>());
        views.back()->resize(800, 600);
        views.back()->move(40 * i, 40 * i);
        views.back()->show();
        views.back()->load(QUrl(QString::fromLocal8Bit(argv[1]) + "?view=" + QString::number(i)));
    }
    return app.exec();
}
