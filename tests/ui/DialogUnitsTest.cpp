#include "ui/DialogUnits.h"

#include <QFont>
#include <QFontMetrics>
#include <QLabel>
#include <QTest>

class DialogUnitsTest : public QObject {
    Q_OBJECT

private slots:
    void convertsFromTheFontsBaseUnits()
    {
        const QFont font = QApplication::font();
        const DialogUnits units(font);
        const QFontMetrics metrics(font);
        QCOMPARE(units.baseY(), metrics.height());
        QVERIFY(units.baseX() > 0);
        QCOMPARE(units.toPixelsX(4), units.baseX());
        QCOMPARE(units.toPixelsY(8), units.baseY());
        // Edges are converted, so two boxes that touch in dialog units still touch.
        const QRect left = units.toPixels(QRect(3, 5, 7, 9));
        const QRect right = units.toPixels(QRect(10, 5, 7, 9));
        QCOMPARE(left.right() + 1, right.left());
    }

    void placesChildrenAndGrowsTextsThatWouldBeCut()
    {
        QWidget form;
        form.setProperty("dialogSize", QSize(200, 50));
        auto* caption = new QLabel(QStringLiteral("A caption far wider than its box"), &form);
        caption->setProperty("dialogRect", QRect(2, 2, 10, 8));
        auto* neighbour = new QLabel(QStringLiteral("x"), &form);
        neighbour->setProperty("dialogRect", QRect(60, 2, 10, 8));
        auto* below = new QLabel(QStringLiteral("Fits"), &form);
        below->setProperty("dialogRect", QRect(2, 20, 100, 8));
        placeFromDialogUnits(&form);

        const DialogUnits units(form.font());
        QCOMPARE(form.size(), units.toPixels(QSize(200, 50)));
        QCOMPARE(neighbour->geometry(), units.toPixels(QRect(60, 2, 10, 8)));
        QCOMPARE(below->geometry(), units.toPixels(QRect(2, 20, 100, 8)));
        QVERIFY(caption->width() > units.toPixelsX(10));
        QVERIFY(caption->geometry().right() < neighbour->geometry().left());  // never overlaps
    }

    void findsControlsById()
    {
        QWidget form;
        auto* label = new QLabel(&form);
        label->setProperty("controlId", 1046);
        QCOMPARE(findControl(&form, 1046), label);
        QCOMPARE(findControl(&form, 1047), nullptr);
    }
};

QTEST_MAIN(DialogUnitsTest)
#include "DialogUnitsTest.moc"
