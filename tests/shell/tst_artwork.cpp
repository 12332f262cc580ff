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

    void everyToolbarButtonAndTheProgramHaveTheirPictures()
    {
        for (int i = int(ToolbarImage::New); i <= int(ToolbarImage::Find); ++i) {
            const QIcon icon = toolbarIcon(ToolbarImage(i));
            QCOMPARE(icon.pixmap(QSize(16, 16)).deviceIndependentSize().toSize(), QSize(16, 16));
            QVERIFY2(!icon.pixmap(QSize(32, 32)).isNull(), qPrintable(QString::number(i)));
        }
        QCOMPARE(applicationIcon().pixmap(QSize(256, 256)).size(), QSize(256, 256));
    }
};

QUILLORY_SUITE(ArtworkTest)
#include "tst_artwork.moc"
