// The viewer window in this process, on a real display: its frames judged by
// their pixels, its failures, its saved frames and its speed.
#include "app/viewer_window.h"

#include <GL/gl.h>
#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QSignalSpy>
#include <QTest>
#include <QWindow>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>

#include "app/morph_view.h"
#include "app/viewer_main.h"
#include "bench/mesh_generator.h"
#include "io/gltf_writer.h"
#include "app_test_support.h"
#include "test_support.h"

namespace vorlane {
namespace {

using test::WaitFor;
using test::WriteOff;

// The morph's pixels: neither sky, floor, shadow nor the light's marker.
std::vector<bool> Silhouette(const QImage& frame)
{
    std::vector<bool> mask(static_cast<size_t>(frame.width() * frame.height()));
    for (int y = 0; y < frame.height(); ++y) {
        for (int x = 0; x < frame.width(); ++x) {
            const QRgb p = frame.pixel(x, y);
            const bool floor = qRed(p) == 0 && qBlue(p) == 0 && qGreen(p) >= 128;
            mask[static_cast<size_t>(y * frame.width() + x)] =
                p != qRgb(0, 0, 255) && !floor && p != qRgb(0, 0, 0) && p != qRgb(255, 255, 0);
        }
    }
    return mask;
}

double IntersectionOverUnion(const std::vector<bool>& a, const std::vector<bool>& b)
{
    size_t both = 0, either = 0;
    for (size_t i = 0; i < a.size(); ++i) {
        both += a[i] && b[i];
        either += a[i] || b[i];
    }
    return either == 0 ? 0.0 : static_cast<double>(both) / static_cast<double>(either);
}

class ViewerWindowTest : public testing::Test {
protected:
    void SetUp() override
    {
        source = Icosphere(2, 3.0f);
        PerturbRadially(source, 0.25f, 7);
        target = CubeSphere(5, 40.0f);
        PerturbRadially(target, 0.2f, 8);
        Rotate(target, 9);
        for (Vec3& v : target.vertices) v = Vec3{v.x + 100.0f, v.y, v.z};  // anywhere: the window places it
        WriteOff("source.off", source);
        WriteOff("target.off", target);
        pair.request.source = "source.off";
        pair.request.target = "target.off";
    }

    // A window loading input, shown, with its clock stopped once the morph is up.
    std::unique_ptr<ViewerWindow> Open(const ViewerInput& input)
    {
        auto window = std::make_unique<ViewerWindow>(input);
        window->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        window->StartLoading();
        EXPECT_TRUE(WaitFor([&] { return window->morphShown(); })) << "the morph never came up";
        Press(*window, Qt::Key_S);
        return window;
    }

    // A window showing only table, placed as one end of the pair's morph is.
    std::unique_ptr<ViewerWindow> Alone(const ModelTable& table, const MorphPlacement& pairPlacement, bool asStart)
    {
        const EndPlacement end = asStart ? pairPlacement.start : pairPlacement.end;
        const MorphPlacement placement{end, end, pairPlacement.lift};
        auto window = std::make_unique<ViewerWindow>(pair);
        LoadedMorph alone;
        alone.placement = placement;
        alone.arrays = MakeMorphArrays(table.vertices, table.vertices, table.triangles, placement);
        window->ShowMorph(std::move(alone));
        window->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        Press(*window, Qt::Key_S);
        return window;
    }

    static void Press(ViewerWindow& window, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QKeyEvent event(QEvent::KeyPress, key, modifiers, QString());
        QApplication::sendEvent(window.windowHandle(), &event);
    }

    static QImage Frame(ViewerWindow& window, int32_t step)
    {
        ViewState& view = window.animation().view;
        view.morphStep = step;
        view.angleX = view.angleY = view.angleZ = 0.0f;
        return window.view()->grabFramebuffer().convertToFormat(QImage::Format_RGB32);
    }

    test::ScratchDirectory scratch;
    ModelTable source;
    ModelTable target;
    ViewerInput pair;
};

TEST_F(ViewerWindowTest, EndsShowTheSourceAndTheTargetCentredAndSizedLikeTheDemo)
{
    const std::unique_ptr<ViewerWindow> window = Open(pair);
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Vorlane: source.off to target.off"));
    const MorphPlacement placement = window->shown().placement;
    const ModelTable* ends[] = {&source, &target};
    for (const int32_t step : {0, MorphSteps}) {
        SCOPED_TRACE(step);
        ViewState& view = window->animation().view;
        view.showMorphEdges = false;
        const QImage frame = Frame(*window, step);
        const std::unique_ptr<ViewerWindow> alone = Alone(*ends[step == 0 ? 0 : 1], placement, step == 0);
        alone->animation().view.showMorphEdges = false;
        const std::vector<bool> morph = Silhouette(frame);
        EXPECT_GE(IntersectionOverUnion(morph, Silhouette(Frame(*alone, 0))), 0.95);

        int top = frame.height(), bottom = -1, left = frame.width(), right = -1;
        for (int y = 0; y < frame.height(); ++y) {
            for (int x = 0; x < frame.width(); ++x) {
                if (!morph[static_cast<size_t>(y * frame.width() + x)]) continue;
                top = std::min(top, y), bottom = std::max(bottom, y);
                left = std::min(left, x), right = std::max(right, x);
            }
        }
        EXPECT_NEAR((left + right) / 2.0, frame.width() / 2.0, frame.width() / 20.0);
        EXPECT_GT(bottom - top, frame.height() / 4);
        EXPECT_LT(bottom - top, frame.height() * 3 / 4);
    }
    EXPECT_FALSE(std::filesystem::exists("facelist1.txt"));
}

TEST_F(ViewerWindowTest, ShadowFallsOnTheFloorBelowTheMorph)
{
    const std::unique_ptr<ViewerWindow> window = Open(pair);
    window->animation().view.showMorphEdges = false;  // black edges would pass for shadow
    for (int i = 0; i < 50; ++i) Press(*window, Qt::Key_PageDown);
    ASSERT_EQ(window->scene().lightPosition[2], 50.0f);
    const QImage lit = Frame(*window, 10);
    window->animation().view.showMorphFaces = false;
    const QImage bare = Frame(*window, 10);
    const std::vector<bool> morph = Silhouette(lit);
    long shadow = 0, onFloor = 0, shadowRows = 0, morphRows = 0, morphCount = 0;
    for (int y = 0; y < lit.height(); ++y) {
        for (int x = 0; x < lit.width(); ++x) {
            if (morph[static_cast<size_t>(y * lit.width() + x)]) morphRows += y, ++morphCount;
            if (lit.pixel(x, y) != qRgb(0, 0, 0)) continue;
            ++shadow;
            shadowRows += y;
            onFloor += qRed(bare.pixel(x, y)) == 0 && qBlue(bare.pixel(x, y)) == 0 && qGreen(bare.pixel(x, y)) >= 128;
        }
    }
    EXPECT_GT(shadow, 2000);
    // note: a rim of the shadow may run past the floor's far edge.
    EXPECT_GT(onFloor, shadow * 98 / 100) << "the shadow lies on the floor";
    ASSERT_GT(morphCount, 0);
    EXPECT_GT(shadowRows / shadow, morphRows / morphCount) << "below the morph";
    const std::vector<bool> none = Silhouette(bare);
    EXPECT_EQ(std::count(none.begin(), none.end(), true), 0);
}

TEST_F(ViewerWindowTest, MorphFileShowsTheFramesOfThePairThatMadeIt)
{
    const MorphJob job = RunMorphJob(pair.request);
    ASSERT_EQ(job.error, "");
    ASSERT_EQ(WriteGltfMorph(job.merged.mesh, "pair.glb", GltfContainer::Binary), "");
    ViewerInput file;
    file.morphFile = "pair.glb";
    const std::unique_ptr<ViewerWindow> merged = Open(pair);
    const std::unique_ptr<ViewerWindow> played = Open(file);
    for (const int32_t step : {0, 10, MorphSteps}) {
        SCOPED_TRACE(step);
        const QImage a = Frame(*merged, step), b = Frame(*played, step);
        int differing = 0;
        for (int y = 0; y < a.height(); ++y) {
            for (int x = 0; x < a.width(); ++x) {
                const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
                differing += std::abs(qRed(p) - qRed(q)) + std::abs(qGreen(p) - qGreen(q)) +
                                 std::abs(qBlue(p) - qBlue(q)) > 24;
            }
        }
        EXPECT_LT(differing, a.width() * a.height() / 500) << "more than 0.2 % of the pixels differ";
    }
}

TEST_F(ViewerWindowTest, BadInputGetsTheMergeToolsReasonAndStatusOne)
{
    std::ofstream("bad.off") << "OFF\n3 1 0\n0 0 0\n1 0 0\n";
    ViewerInput bad;
    bad.request.source = "bad.off";
    bad.request.target = "cube";
    const std::string reason = RunMorphJob(bad.request).error;  // what vorlane-merge prints
    ASSERT_FALSE(reason.empty());
    ViewerWindow window(bad);
    QSignalSpy finished(&window, &ViewerWindow::finished);
    window.show();
    window.StartLoading();
    QMessageBox* box = nullptr;
    ASSERT_TRUE(WaitFor([&] { return (box = window.findChild<QMessageBox*>()) && box->isVisible(); }));
    EXPECT_EQ(box->text().toStdString(), reason);
    EXPECT_EQ(finished.count(), 0) << "not before the message is read";
    box->accept();
    ASSERT_EQ(finished.count(), 1);
    EXPECT_EQ(finished.front().front().toInt(), 1);
    EXPECT_FALSE(window.morphShown());
}

// A name with control bytes must not drive the terminal the error goes to,
// nor markup style the message: both show it as vorlane-merge prints it.
TEST_F(ViewerWindowTest, NamesWithControlCharactersAreEchoedEscaped)
{
    const std::vector<std::array<std::string, 2>> cases{
        {"red\x1b[31m", "red\\x1b[31m"},
        {"title\x1b]0;owned\x07", "title\\x1b]0;owned\\x07"},
        {"two\nlines\r", "two\\x0alines\\x0d"},
        {"c1\xc2\x9b" "2J", "c1\\xc2\\x9b2J"},
        {"<b>bold <i>\xc3\xa9", "<b>bold <i>\xc3\xa9"},
    };
    for (const auto& [name, escaped] : cases) {
        SCOPED_TRACE(escaped);
        std::string option = "--" + name;
        char program[] = "vorlane";
        char* argv[] = {program, option.data(), nullptr};
        testing::internal::CaptureStderr();
        EXPECT_EQ(RunViewer(2, argv), 2);
        const std::string usage = testing::internal::GetCapturedStderr();
        EXPECT_EQ(usage.substr(0, usage.find('\n') + 1), "vorlane: unknown option '--" + escaped + "'\n");

        ViewerInput input;
        input.request.source = name;
        input.request.target = "cube";
        ViewerWindow window(input);
        EXPECT_EQ(window.windowTitle().toStdString(), "Vorlane: " + escaped + " to cube");
        testing::internal::CaptureStderr();
        window.show();
        window.StartLoading();
        QMessageBox* box = nullptr;
        const bool shown = WaitFor([&] { return (box = window.findChild<QMessageBox*>()) && box->isVisible(); });
        const std::string errors = testing::internal::GetCapturedStderr();
        ASSERT_TRUE(shown);
        const std::string line =
            "'" + escaped + "' is neither a catalogue model nor a mesh file (.obj, .off, .ply, .stl, .gltf, .glb)";
        EXPECT_EQ(box->text().toStdString(), line);
        EXPECT_EQ(box->textFormat(), Qt::PlainText);
        EXPECT_NE(errors.find("vorlane: " + line + "\n"), std::string::npos) << errors;
        box->accept();
    }
}

TEST_F(ViewerWindowTest, CtrlSSavesTheFrameAsPngNamedAfterTheInputsAndStep)
{
    const std::unique_ptr<ViewerWindow> window = Open(pair);
    const QImage frame = Frame(*window, 7);
    Press(*window, Qt::Key_S, Qt::ControlModifier);
    EXPECT_TRUE(window->animationRunning() == false) << "Ctrl+S is no S";
    const QImage saved(QStringLiteral("vorlane-source-target-step07.png"));
    ASSERT_FALSE(saved.isNull());
    EXPECT_EQ(saved.convertToFormat(QImage::Format_RGB32), frame);
    EXPECT_TRUE(window->statusLabel()->text().startsWith(QStringLiteral("saved ")));
}

// The figure the README gives: two spheres of about 80,000 triangles each.
TEST_F(ViewerWindowTest, LargeMorphKeepsTheWindowResponsive)
{
    WriteOff("icosphere.off", Icosphere(6, 1.0f));
    WriteOff("cubesphere.off", CubeSphere(82, 1.0f));
    ViewerInput large;
    large.request.source = "icosphere.off";
    large.request.target = "cubesphere.off";
    large.request.sourceCentre = large.request.targetCentre = Vec3{};
    const std::unique_ptr<ViewerWindow> window = Open(large);
    MorphView& view = *window->view();
    view.makeCurrent();
    std::vector<double> ms;
    timespec cpuStart{}, cpuEnd{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &cpuStart);
    for (int32_t step = 0; step <= MorphSteps; ++step) {
        window->animation().view.morphStep = step;
        const auto start = std::chrono::steady_clock::now();
        DrawSingleMorphFrame(*view.morph(), view.drawCache(), window->scene().lightPosition,
                             window->scene().shadowMatrix, window->animation().view, window->scene().shapeLists);
        glFinish();
        ms.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    }
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &cpuEnd);
    view.doneCurrent();
    const double cpu = (static_cast<double>(cpuEnd.tv_sec - cpuStart.tv_sec) * 1e3 +
                        static_cast<double>(cpuEnd.tv_nsec - cpuStart.tv_nsec) / 1e6) / static_cast<double>(ms.size());
    std::nth_element(ms.begin(), ms.begin() + ms.size() / 2, ms.end());
    std::printf("%d triangles (faces drawn from %d): median frame %.1f ms, %.1f ms of processor time a frame "
                "(all threads)\n",
                window->shown().arrays.triangleCount, window->shown().coarse.triangleCount, ms[ms.size() / 2], cpu);
    // note: about 20 ms here; this bound holds under the sanitizers too.
    EXPECT_LT(ms[ms.size() / 2], 1000.0);

    // The faces come from the coarse copy; it looks like the whole morph.
    ASSERT_GT(window->shown().coarse.triangleCount, 0);
    EXPECT_LE(window->shown().coarse.triangleCount, CoarseMorphTriangles);
    auto whole = std::make_unique<ViewerWindow>(large);
    LoadedMorph copy;
    copy.placement = window->shown().placement;
    copy.arrays = window->shown().arrays;
    whole->ShowMorph(std::move(copy));
    whole->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(whole.get()));
    Press(*whole, Qt::Key_S);
    for (const int32_t step : {0, 10, MorphSteps}) {
        EXPECT_GE(IntersectionOverUnion(Silhouette(Frame(*window, step)), Silhouette(Frame(*whole, step))), 0.98)
            << "step " << step;
    }
}

}  // namespace
}  // namespace vorlane
