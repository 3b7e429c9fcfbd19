#include "PlantModel.h"

#include <QtTest>

// The simulated plant must stay within what the real device and its dump-load controller can
// produce, or the end-to-end tests would pass against a plant that cannot exist.
class TestPlantModel : public QObject
{
    Q_OBJECT

private slots:
    // Long runs at several time steps: raw values in range, the controller's hysteresis kept,
    // the rotor stopped in calm, and the interesting states actually visited.
    void longRuns_data()
    {
        QTest::addColumn<unsigned>("seed");
        QTest::addColumn<double>("dt");
        for (const auto& [seed, dt] : {std::pair{1u, 1.0}, {2u, 1.0}, {99u, 0.25}, {7u, 5.0}})
            QTest::addRow("seed %u, dt %g", seed, dt) << seed << dt;
    }
    void longRuns()
    {
        QFETCH(unsigned, seed);
        QFETCH(double, dt);
        PlantModel plant(seed, dt);
        int prevMode = 0, toggles = 0, negative = 0, strong = 0, stopped = 0;
        double calmSeconds = 0.0;
        for (int n = 0; n < 100000; ++n) {
            const PlantModel::Reading r = plant.step();
            const QByteArray at = QByteArray::number(n) + ' ' + PlantModel::frameText(r).c_str();
            QVERIFY2(r.rawV >= 590 && r.rawV <= 740 && r.rawI >= 0 && r.rawI <= 1023 &&
                         r.rawR >= 0 && r.rawS >= 0,
                     at);
            QVERIFY2(r.rawV > 710 ? r.mode == 1 : r.rawV < 660 ? r.mode == 0 : r.mode == prevMode,
                     at);
            calmSeconds = r.rawS < 20 ? calmSeconds + dt : 0.0;
            QVERIFY2(calmSeconds <= 60.0 || r.rawR == 0, at);
            toggles += r.mode != prevMode;
            prevMode = r.mode;
            negative += r.rawI < 500;
            strong += r.rawI > 800;
            stopped += r.rawR == 0;
        }
        QVERIFY(toggles >= 4 && negative > 0 && strong > 0 && stopped > 0);
    }

    void repeatableAndFramed()
    {
        PlantModel a(5), b(5), c(6);
        bool same = true, differs = false;
        for (int n = 0; n < 2000; ++n) {
            const std::string fa = PlantModel::frameText(a.step());
            same = same && fa == PlantModel::frameText(b.step());
            differs = differs || fa != PlantModel::frameText(c.step());
        }
        QVERIFY(same && differs);
        QCOMPARE(PlantModel::frameText({625, 562, 20, 38, 0}),
                 std::string("[<V>625</V><I>562</I><R>20</R><S>38</S><M>0</M>]"));
    }
};

QTEST_APPLESS_MAIN(TestPlantModel)
#include "tst_plant_model.moc"
