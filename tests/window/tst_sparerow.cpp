// When an XWayland window grows or shrinks by its spare row, and what Qt is
// told of its height. Each row is a story of events, with what each answers:
//   drawn                 something was drawn
//   flip H [down] = A     a flip asked at Qt's height H (a button down): the
//                         height asked of the X server, or "none"
//   configured X Y XH H = A   the X server reports place and height XH while
//                         Qt's height is H: the height Qt is told
//   held | flowing        the compositor holds the window's commits or lets
//                         them through
//   tick N                N ticks of the keep-on-top timer
#include "window/sparerow.h"

#include <QtTest>

class TestSpareRow : public QObject
{
    Q_OBJECT

private slots:
    void story_data()
    {
        QTest::addColumn<QStringList>("steps");
        QTest::newRow("nothing drawn, nothing flipped") << QStringList { "flip 359 = none" };
        QTest::newRow("drawn: grows by a row, which Qt never sees")
            << QStringList { "drawn", "flip 359 = 360", "configured 100 100 360 359 = 359" };
        QTest::newRow("drawn again: shrinks back")
            << QStringList { "drawn", "flip 359 = 360", "configured 100 100 360 359 = 359",
                             "drawn", "flip 359 = 359", "configured 100 100 359 359 = 359",
                             "drawn", "flip 359 = 360" };
        QTest::newRow("Qt's own heights pass; one row more is the spare one")
            << QStringList { "configured 100 100 400 400 = 400", "configured 100 100 401 401 = 401",
                             "configured 100 100 402 401 = 401" };
        QTest::newRow("one flip at a time: the next after the first is reported")
            << QStringList { "drawn",
                             "flip 359 = 360",
                             "drawn",
                             "flip 359 = none",
                             "configured 100 100 360 359 = 359",
                             "flip 359 = 359" };
        QTest::newRow("while commits are held, the new size is not yet shown: the next waits")
            << QStringList { "drawn",   "flip 359 = 360",
                             "held",    "configured 100 100 360 359 = 359",
                             "drawn",   "flip 359 = none",
                             "flowing", "flip 359 = 359" };
        QTest::newRow("held since before the flip (a resize of Qt's own): waits as well")
            << QStringList { "held",           "drawn",
                             "flip 359 = 360", "configured 100 100 360 359 = 359",
                             "drawn",          "flip 359 = none",
                             "flowing",        "flip 359 = 359" };
        QTest::newRow("a button down: a drag or a resize draws on, the flip waits")
            << QStringList { "drawn", "flip 359 down = none", "flip 359 = 360" };
        QTest::newRow("a move commits the pixels anew; the same place does not")
            << QStringList { "configured 100 100 359 359 = 359", "flip 359 = none",
                             "configured 100 100 359 359 = 359", "flip 359 = none",
                             "configured 150 120 359 359 = 359", "flip 359 = 360" };
        QTest::newRow("the flip's own report is no move")
            << QStringList { "configured 100 100 359 359 = 359", "drawn", "flip 359 = 360",
                             "configured 100 100 360 359 = 359", "flip 359 = none" };
        QTest::newRow("a flip never reported is given up after a second, and done again")
            << QStringList { "drawn",           "flip 359 = 360", "tick 19",
                             "flip 359 = none", "tick 1",         "flip 359 = 360" };
    }

    void story()
    {
        QFETCH(QStringList, steps);
        SpareRow spareRow;
        for (const QString &step : steps) {
            const QStringList words = step.split(QLatin1Char(' '));
            const QString answer = words.last();
            if (words.first() == QLatin1String("drawn")) {
                spareRow.drawn();
            } else if (words.first() == QLatin1String("held")) {
                spareRow.commitsAllowed(false);
            } else if (words.first() == QLatin1String("flowing")) {
                spareRow.commitsAllowed(true);
            } else if (words.first() == QLatin1String("tick")) {
                for (int i = 0; i < words.at(1).toInt(); ++i)
                    spareRow.tick();
            } else if (words.first() == QLatin1String("flip")) {
                const std::optional<int> asked
                    = spareRow.flip(words.at(1).toInt(), words.at(2) == QLatin1String("down"));
                QVERIFY2((asked ? QString::number(*asked) : QStringLiteral("none")) == answer,
                         qPrintable(step));
            } else if (words.first() == QLatin1String("configured")) {
                const int told = spareRow.configured(words.at(1).toInt(), words.at(2).toInt(),
                                                     words.at(3).toInt(), words.at(4).toInt());
                QVERIFY2(QString::number(told) == answer, qPrintable(step));
            } else {
                QFAIL(qPrintable(QStringLiteral("unknown step: ") + step));
            }
        }
    }
};

QTEST_APPLESS_MAIN(TestSpareRow)
#include "tst_sparerow.moc"
