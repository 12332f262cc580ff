#include "shell/artwork.h"
#include "freshsuite.h"
#include "suites.h"

#include <QImage>
#include <QSet>
#include <QTest>

class ArtworkTest : public FreshStateSuite
{
    Q_OBJECT

private:
    static int colourCount(const QPixmap &pixmap)
    {
        const QImage image = pixmap.toImage().convertToFormat(QImage::Format_RGB32);
        QSet<QRgb> colours;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                colours.insert(image.pixel(x, y));
        return int(colours.size());
    }

private slots:

    void theSplashAndBackgroundAreFullSizeIn256Colours()
    {
        for (const QPixmap &picture : {splashPicture(), backgroundPicture()}) {
            QCOMPARE(picture.size(), QSize(446, 268));
            QVERIFY(colourCount(picture) <= 256);
        }
        QVERIFY(!logoPicture().isNull());
    }

    void everyToolbarImageGivesA16PixelPicture()
    {
        for (int i = int(ToolbarImage::New); i <= int(ToolbarImage::Find); ++i) {
            const QIcon icon = toolbarIcon(ToolbarImage(i));
            QVERIFY2(!icon.isNull(), qPrintable(QString::number(i)));
            const QPixmap pixmap = icon.pixmap(QSize(16, 16));
            QVERIFY2(!pixmap.isNull(), qPrintable(QString::number(i)));
            QCOMPARE(pixmap.deviceIndependentSize().toSize(), QSize(16, 16));
        }
    }

    void theImagesNoThemeHasComeInBothSizes()
    {
        for (ToolbarImage image : {ToolbarImage::TextColor, ToolbarImage::BackColor, ToolbarImage::DateTime}) {
            const QList<QSize> sizes = toolbarIcon(image).availableSizes();
            QVERIFY(sizes.contains(QSize(16, 16)));
            QVERIFY(sizes.contains(QSize(32, 32)));
            QVERIFY(!toolbarIcon(image).pixmap(QSize(32, 32)).isNull());
        }
    }

    void theApplicationIconGoesUpTo256()
    {
        const QIcon icon = applicationIcon();
        const QList<QSize> sizes = icon.availableSizes();
        QVERIFY(sizes.contains(QSize(16, 16)));
        QVERIFY(sizes.contains(QSize(256, 256)));
        QCOMPARE(icon.pixmap(QSize(256, 256)).size(), QSize(256, 256));
    }
};

QUILLORY_SUITE(ArtworkTest)
#include "tst_artwork.moc"
