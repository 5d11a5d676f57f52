// The layered-window helper the frames rely on for their opacity: the
// percentage it takes, the entry point it finds at every call, and what a
// missing module or entry point leaves.
#include <QWidget>
#include <memory>

#include "shared/LayeredWindowHelperST.h"
#include "testsupport.h"

namespace {

class LayeredWindowHelperTest : public ComponentTest {
protected:
    void SetUp() override {
        ComponentTest::SetUp();
        ASSERT_TRUE(layered.CreateTopLevel(WS_POPUP, WS_EX_LAYERED));
        layered.ShowWindow(SW_SHOW);
    }
    double Opacity(const CWnd& w) const { return w.GetPeer()->windowOpacity(); }
    // A value no percentage gives, so that a call that does nothing shows.
    static constexpr BYTE kMarker = 10;
    RecordingWnd layered{{}};
};

TEST_F(LayeredWindowHelperTest, PercentageIsClampedTo20To100AndTruncated) {
    struct Case {
        int percent;
        int alpha;
    };
    const Case cases[] = {{0, 51},   {1, 51},   {-5, 51},   {19, 51},   {20, 51},  {21, 53},
                          {50, 127}, {99, 252}, {100, 255}, {101, 255}, {250, 255}};
    CLayeredWindowHelperST helper;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.percent);
        ASSERT_TRUE(layered.SetLayeredAlpha(kMarker));
        EXPECT_NE(helper.SetTransparencyPercent(layered.m_hWnd, c.percent), 0);
        EXPECT_NEAR(Opacity(layered), c.alpha / 255.0, 1e-6);
    }
}

TEST_F(LayeredWindowHelperTest, ResultIsTheEntryPointsAndTheStylesAreLeftAlone) {
    RecordingWnd plain({});
    ASSERT_TRUE(plain.CreateTopLevel(WS_POPUP, 0));
    plain.ShowWindow(SW_SHOW);
    CLayeredWindowHelperST helper;
    // A window without the layered style cannot be made translucent.
    EXPECT_EQ(helper.SetTransparencyPercent(plain.m_hWnd, 50), 0);
    EXPECT_NEAR(Opacity(plain), 1.0, 1e-6);
    EXPECT_EQ(plain.GetExStyle(), 0u);
    EXPECT_NE(helper.SetTransparencyPercent(layered.m_hWnd, 50), 0);
    EXPECT_EQ(layered.GetExStyle(), static_cast<DWORD>(WS_EX_LAYERED));
    plain.DestroyWindow();
}

TEST_F(LayeredWindowHelperTest, MissingModuleReportsSuccessAndChangesNothing) {
    fakes.modules.moduleMissing = true;
    CLayeredWindowHelperST helper;
    fakes.modules.moduleMissing = false;
    ASSERT_TRUE(layered.SetLayeredAlpha(kMarker));
    for (int percent : {50, 0, 100}) {
        SCOPED_TRACE(percent);
        EXPECT_EQ(helper.SetTransparencyPercent(layered.m_hWnd, percent), 1);
        EXPECT_NEAR(Opacity(layered), kMarker / 255.0, 1e-6);
    }
}

TEST_F(LayeredWindowHelperTest, MissingEntryPointReportsFailureAndIsLookedUpAtEveryCall) {
    CLayeredWindowHelperST helper;
    ASSERT_TRUE(layered.SetLayeredAlpha(kMarker));
    EXPECT_NE(helper.SetTransparencyPercent(layered.m_hWnd, 50), 0);
    EXPECT_NEAR(Opacity(layered), 127 / 255.0, 1e-6);
    fakes.modules.entryPointMissing = true;
    EXPECT_EQ(helper.SetTransparencyPercent(layered.m_hWnd, 30), 0);
    EXPECT_NEAR(Opacity(layered), 127 / 255.0, 1e-6);
    fakes.modules.entryPointMissing = false;
    EXPECT_NE(helper.SetTransparencyPercent(layered.m_hWnd, 30), 0);
    EXPECT_NEAR(Opacity(layered), 76 / 255.0, 1e-6);
}

TEST_F(LayeredWindowHelperTest, EachHelperHoldsItsOwnModuleReference) {
    RecordingWnd second({});
    ASSERT_TRUE(second.CreateTopLevel(WS_POPUP, WS_EX_LAYERED));
    second.ShowWindow(SW_SHOW);
    auto a = std::make_unique<CLayeredWindowHelperST>();
    auto b = std::make_unique<CLayeredWindowHelperST>();
    a.reset();
    EXPECT_NE(b->SetTransparencyPercent(second.m_hWnd, 50), 0);
    EXPECT_NEAR(Opacity(second), 127 / 255.0, 1e-6);
    auto c = std::make_unique<CLayeredWindowHelperST>();
    b.reset();
    EXPECT_NE(c->SetTransparencyPercent(layered.m_hWnd, 40), 0);
    EXPECT_NEAR(Opacity(layered), 102 / 255.0, 1e-6);
    second.DestroyWindow();
}

}  // namespace
