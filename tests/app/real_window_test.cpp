// The real program on a real X server of the test's own: the window it maps shows the
// playlists list, a screenshot of it is read back from the server, and SIGTERM quits it
// with its settings saved.

#include "AppTestSupport.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <xcb/xcb.h>

#include <csignal>
#include <cstdlib>
#include <functional>
#include <memory>

namespace {

template <typename T>
using XReply = std::unique_ptr<T, decltype(&std::free)>;

// The pixels of the largest mapped top-level window on the server's screen, as the server
// holds them (null while no window is mapped, or when the server's pixels are not 32-bit
// little-endian, which a 24-bit Xvfb screen on this machine always gives).
QImage grabTopLevelWindow(xcb_connection_t* x)
{
    const xcb_setup_t* setup = xcb_get_setup(x);
    const xcb_window_t root = xcb_setup_roots_iterator(setup).data->root;
    XReply<xcb_query_tree_reply_t> tree(xcb_query_tree_reply(x, xcb_query_tree(x, root), nullptr), &std::free);
    if (!tree || setup->image_byte_order != XCB_IMAGE_ORDER_LSB_FIRST)
        return {};
    const xcb_window_t* children = xcb_query_tree_children(tree.get());
    xcb_window_t largest = XCB_NONE;
    QSize size;
    for (int i = 0; i < xcb_query_tree_children_length(tree.get()); ++i) {
        XReply<xcb_get_window_attributes_reply_t> attributes(
            xcb_get_window_attributes_reply(x, xcb_get_window_attributes(x, children[i]), nullptr), &std::free);
        XReply<xcb_get_geometry_reply_t> geometry(xcb_get_geometry_reply(x, xcb_get_geometry(x, children[i]), nullptr),
                                                  &std::free);
        if (!attributes || !geometry || attributes->map_state != XCB_MAP_STATE_VIEWABLE || attributes->override_redirect)
            continue;
        if (geometry->width * geometry->height > size.width() * size.height()) {
            largest = children[i];
            size = QSize(geometry->width, geometry->height);
        }
    }
    if (largest == XCB_NONE)
        return {};
    XReply<xcb_get_image_reply_t> pixels(
        xcb_get_image_reply(x,
                            xcb_get_image(x, XCB_IMAGE_FORMAT_Z_PIXMAP, largest, 0, 0, uint16_t(size.width()),
                                          uint16_t(size.height()), ~0u),
                            nullptr),
        &std::free);
    if (!pixels || pixels->depth != 24 || xcb_get_image_data_length(pixels.get()) != size.width() * size.height() * 4)
        return {};
    return QImage(xcb_get_image_data(pixels.get()), size.width(), size.height(), QImage::Format_RGB32).copy();
}

int pixelsIn(const QImage& image, const QRect& area, const std::function<bool(QRgb)>& matches)
{
    int count = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            count += matches(image.pixel(x, y)) ? 1 : 0;
    return count;
}

} // namespace

TEST(Program, ShowsThePlaylistsInARealWindowAndQuitsOnSigterm)
{
    QTemporaryDir home;
    generatedSongs();
    // The server picks the first free display number itself and prints it, so that test runs
    // side by side never share one.
    QProcess server;
    server.start("Xvfb", {"-displayfd", "1", "-screen", "0", "640x600x24", "-nolisten", "tcp"});
    ASSERT_TRUE(server.waitForStarted()) << "Xvfb could not be started";
    QByteArray number;
    QElapsedTimer timer;
    timer.start();
    while (!number.contains('\n') && server.state() == QProcess::Running && timer.elapsed() < 60000) {
        server.waitForReadyRead(1000);
        number += server.readAllStandardOutput();
    }
    ASSERT_TRUE(number.contains('\n')) << "Xvfb gave no display number: " << server.readAllStandardError().toStdString();
    const QByteArray display = ":" + number.trimmed();
    std::unique_ptr<xcb_connection_t, decltype(&xcb_disconnect)> x(xcb_connect(display.constData(), nullptr),
                                                                    &xcb_disconnect);
    ASSERT_EQ(xcb_connection_has_error(x.get()), 0) << "cannot reach the X server on " << display.constData();

    QProcessEnvironment env = programEnvironment(home.path());
    env.insert("QT_QPA_PLATFORM", "xcb");
    env.insert("DISPLAY", QString::fromLatin1(display));
    env.remove("WAYLAND_DISPLAY");
    QProcess app;
    app.setProcessEnvironment(env);
    app.start(TAVORO_BINARY);
    ASSERT_TRUE(app.waitForStarted());

    // The playlists list is on screen once the list's colour fills the band under the bar,
    // the Playlists tab (the last of five) is the one selected in blue, and the generated
    // playlist's row shows its dark title.
    const auto titleBar = [](QRgb p) { return p == qRgb(0x6d, 0x84, 0xa2); };
    const auto selected = [](QRgb p) { return qBlue(p) > qRed(p) + 80; };
    const auto text = [](QRgb p) { return qGray(p) < 80; };
    QImage shot;
    bool shown = false;
    const auto showsTheList = [&] {
        shot = grabTopLevelWindow(x.get());
        return shot.width() >= 320 && shot.height() >= 460
               && pixelsIn(shot, QRect(0, 44, 320, 44), titleBar) > 320 * 44 / 2
               && pixelsIn(shot, QRect(256, 412, 64, 48), selected) > 64 * 48 / 2
               && pixelsIn(shot, QRect(0, 412, 256, 48), selected) == 0
               && pixelsIn(shot, QRect(0, 92, 320, 40), text) > 40;
    };
    timer.restart();
    while (!(shown = showsTheList()) && app.state() == QProcess::Running && timer.elapsed() < 120000)
        QTest::qWait(250);
    shot.save(screenshotDirectory() + "/real-window.png");
    ASSERT_TRUE(shown) << "no window showing the playlists list was mapped; last seen in real-window.png";
    EXPECT_EQ(shot.size(), QSize(320, 460));

    ::kill(pid_t(app.processId()), SIGTERM);
    ASSERT_TRUE(app.waitForFinished(60000));
    EXPECT_EQ(app.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(app.exitCode(), 0);
    EXPECT_EQ(savedSettingRows(home.path()), "1") << "quitting on SIGTERM must save the settings";
    server.terminate();
    server.waitForFinished(30000);
}
