#include "program_icon.h"
#include "ui_test_support.h"

#include <QApplication>
#include <QColor>
#include <QDir>
#include <QFile>
#include <QIcon>
#include <QImage>
#include <QPixmap>
#include <QStringList>
#include <QTest>
#include <QWidget>

namespace pyrelto {
namespace {

using test::UiTest;

const QList<int> kIconSizes{16, 24, 32, 48, 64, 128, 256};

// Points the icon lookup at one folder for the test's lifetime; Qt keeps these settings for the
// whole process.
class ThemeSearchPath {
public:
    explicit ThemeSearchPath(const QString& folder)
        : oldPaths_(QIcon::themeSearchPaths()), oldTheme_(QIcon::themeName()),
          oldFallback_(QIcon::fallbackThemeName()) {
        QIcon::setThemeSearchPaths({folder});
        QIcon::setThemeName(QStringLiteral("hicolor"));
        QIcon::setFallbackThemeName(QStringLiteral("hicolor"));
    }
    ~ThemeSearchPath() {
        QIcon::setThemeSearchPaths(oldPaths_);
        QIcon::setThemeName(oldTheme_);
        QIcon::setFallbackThemeName(oldFallback_);
    }
    ThemeSearchPath(const ThemeSearchPath&) = delete;
    ThemeSearchPath& operator=(const ThemeSearchPath&) = delete;

private:
    QStringList oldPaths_;
    QString oldTheme_;
    QString oldFallback_;
};

int opaquePixels(const QImage& image) {
    int count = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            count += qAlpha(image.pixel(x, y)) > 128 ? 1 : 0;
        }
    }
    return count;
}

class ProgramIconTest : public UiTest {
protected:
    // A minimal hicolor theme under `root` with one 48-pixel program icon of a single colour.
    void writeThemeIcon(const QString& root, const QColor& colour) {
        const QString theme = root + QStringLiteral("/hicolor");
        ASSERT_TRUE(QDir().mkpath(theme + QStringLiteral("/48x48/apps")));
        QFile index(theme + QStringLiteral("/index.theme"));
        ASSERT_TRUE(index.open(QIODevice::WriteOnly));
        index.write("[Icon Theme]\nName=Hicolor\nDirectories=48x48/apps\n\n"
                    "[48x48/apps]\nSize=48\nContext=Applications\nType=Threshold\n");
        index.close();
        QImage image(48, 48, QImage::Format_ARGB32);
        image.fill(colour);
        ASSERT_TRUE(image.save(theme + QStringLiteral("/48x48/apps/") + desktopId() +
                               QStringLiteral(".png")));
    }
};

// Each size is a drawing of its own (16 and 24 come from a pixel-grid version): a size missing
// from the resources would be scaled from another and blur, an alias typo would leave it empty.
TEST_F(ProgramIconTest, BuiltInIconHasEverySizeDrawn) {
    const QIcon icon = builtInProgramIcon();
    for (const int size : kIconSizes) {
        SCOPED_TRACE(size);
        EXPECT_TRUE(icon.availableSizes().contains(QSize(size, size)));
        const QImage image = icon.pixmap(size).toImage();
        ASSERT_EQ(image.size(), QSize(size, size));
        // Not empty, and not a filled square either: a drawing on a transparent ground.
        const int opaque = opaquePixels(image);
        EXPECT_GT(opaque, size * size / 8);
        EXPECT_LT(opaque, size * size * 3 / 4);
    }
}

TEST_F(ProgramIconTest, ThemeIconWinsOverTheBuiltInOne) {
    const QString root = tempPath(QStringLiteral("icons"));
    writeThemeIcon(root, QColor(255, 0, 255));
    ThemeSearchPath themes(root);
    const QImage image = programIcon().pixmap(48).toImage();
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(image.pixelColor(24, 24), QColor(255, 0, 255));
}

TEST_F(ProgramIconTest, WithoutThemeIconTheBuiltInOneShows) {
    const QString root = tempPath(QStringLiteral("empty-icons"));
    ASSERT_TRUE(QDir().mkpath(root));
    ThemeSearchPath themes(root);
    const QIcon icon = programIcon();
    for (const int size : {16, 48, 256}) {
        SCOPED_TRACE(size);
        const QImage shown = icon.pixmap(size).toImage().convertToFormat(QImage::Format_ARGB32);
        const QImage builtIn =
            builtInProgramIcon().pixmap(size).toImage().convertToFormat(QImage::Format_ARGB32);
        ASSERT_FALSE(shown.isNull());
        EXPECT_EQ(shown, builtIn);
    }
}

TEST_F(ProgramIconTest, BetweenTwoDrawnSizesTheLargerOneIsScaledDown) {
    const QIcon icon = builtInProgramIcon();
    const QImage fromLarger =
        icon.pixmap(24).scaled(20, 20, Qt::KeepAspectRatio, Qt::SmoothTransformation).toImage();
    const QImage shown = icon.pixmap(20).toImage();
    ASSERT_EQ(shown.size(), QSize(20, 20));
    EXPECT_EQ(shown.convertToFormat(QImage::Format_ARGB32),
              fromLarger.convertToFormat(QImage::Format_ARGB32));
    EXPECT_EQ(icon.pixmap(512).size(), QSize(256, 256)) << "never blown up beyond the largest";
}

TEST_F(ProgramIconTest, TheApplicationGetsTheIconAfterTheWindowFirstPainted) {
    QApplication::setWindowIcon(QIcon());
    QWidget window;
    window.resize(200, 100);
    setProgramIconAfterFirstPaint(window);
    QTest::qWait(20);
    EXPECT_TRUE(QApplication::windowIcon().isNull()) << "not before the window is shown";
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    EXPECT_TRUE(QTest::qWaitFor([] { return !QApplication::windowIcon().isNull(); }));
    EXPECT_FALSE(window.windowIcon().isNull());
    QApplication::setWindowIcon(QIcon());
}

} // namespace
} // namespace pyrelto
