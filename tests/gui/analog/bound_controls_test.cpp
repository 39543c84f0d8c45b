#include <QComboBox>
#include <QTest>

#include <functional>
#include <vector>

#include "gui/analog/t_mpn.h"
#include "support/panel_driver.h"
#include "support/qtest_registry.h"

namespace dmm::test {

// Every control of the switch network, OP-amp and power, clock and counter panels that is
// bound to a field, on the simulated DMM chip: a click or a choice sends one write, the
// field's register byte from the image with that field alone changed, and the control
// then shows what the chip reads back, not what was asked for.
class BoundControlsTest : public QObject {
    Q_OBJECT
  private:
    static constexpr int kToggles = -1;
    struct Row {
        const char* window;
        QString control;
        const char* field;
        int value;                       // the option chosen, or kToggles
        std::function<bool(int)> shows;  // the window shows the field with this value
    };

    PanelDriver d_;

    template <typename T = QWidget>
    T* Control(const char* window, const QString& name) {
        return d_.Control<T>(window, qPrintable(name));
    }
    bool Chosen(const char* window, const QString& name) {
        return PanelDriver::Chosen(Control<gui::BoundLabel>(window, name));
    }
    bool Visible(const char* window, const QString& name) {
        return Control(window, name)->isVisible();
    }

    // How a window shows a value.
    std::function<bool(int)> Pair(const char* window, const QString& set, const QString& clear) {
        return [=, this](int v) {
            return Visible(window, set) == (v != 0) && Visible(window, clear) == (v == 0);
        };
    }
    std::function<bool(int)> Label(const char* window, const QString& name) {
        return [=, this](int v) { return Chosen(window, name) == (v != 0); };
    }
    std::function<bool(int)> Combo(const char* window, const QString& name) {
        return [=, this](int v) {
            return Control<QComboBox>(window, name)->currentData().toInt() == v;
        };
    }
    // The option labels stem0.. (those shown) with exactly option v chosen, and the combo.
    std::function<bool(int)> Options(const char* window, const QString& stem, int count,
                                     const QString& combo) {
        return [=, this](int v) {
            for (int k = 0; k < count; ++k) {
                const QString name = stem + QString::number(k);
                if (Visible(window, name) && Chosen(window, name) != (k == v)) return false;
            }
            return Combo(window, combo)(v);
        };
    }
    static std::function<bool(int)> Both(std::function<bool(int)> a, std::function<bool(int)> b) {
        return [=](int v) { return a(v) && b(v); };
    }
    // Rows for each option label of a selector, the field first set to its last option so
    // that every label chooses something new.
    std::vector<Row> OptionRows(const char* window, const char* field, const QString& stem,
                                int count, const QString& combo) {
        std::vector<Row> rows;
        for (int k = 0; k < count; ++k) {
            if (!Visible(window, stem + QString::number(k))) continue;
            rows.push_back(
                {window, stem + QString::number(k), field, k, Options(window, stem, count, combo)});
        }
        if (!rows.empty()) [&] { QVERIFY(d_.SetField(field, rows.back().value)); }();
        return rows;
    }

    void Act(const Row& row, int value) {
        if (auto* combo = qobject_cast<QComboBox*>(Control(row.window, row.control))) {
            const int index = combo->findData(value);
            QVERIFY2(index >= 0, qPrintable(row.control));
            PanelDriver::Choose(combo, index);
        } else {
            PanelDriver::Click(Control(row.window, row.control));
        }
    }

    void Exercise(const Row& row) {
        const QByteArray what = QByteArray(row.window) + "/" + row.control.toLatin1();
        QWidget* control = Control(row.window, row.control);
        const TRegField field = d_.Field(row.field);
        QVERIFY2(field.IsDefined() && control->isEnabled(), what);
        if (row.value == kToggles && !control->isVisible()) {
            // A picture of the other state: the field goes there first.
            QVERIFY2(d_.SetField(row.field, field.Extract(d_.Image(field.registerIndex)) ? 0 : 1),
                     what);
            QTRY_VERIFY2(control->isVisible(), what);
        }
        const int address = field.registerIndex;
        const uint8_t before = d_.Image(address);
        const int old = field.Extract(before);
        const int value = row.value == kToggles ? (old != 0 ? 0 : 1) : row.value;
        QVERIFY2(value != old, what);
        d_.Settle();
        QTRY_VERIFY2(row.shows(old), what);
        const uint8_t after = field.Insert(before, value);
        const std::vector<std::vector<uint8_t>> expected = {
            {0xC2, 0x00, uint8_t(2 * address), 1, after}};

        // The chip takes the byte but reads back the old one: the window keeps showing it.
        d_.ReadBackAs(address, before);
        auto sent = d_.Sent([&] {
            Act(row, value);
            d_.Settle();
        });
        d_.ReadBackAs(-1, 0);
        QVERIFY2(PanelDriver::Writes(sent) == expected, what);
        QCOMPARE(d_.ChipByte(address), after);
        QVERIFY2(row.shows(old), what);
        QCOMPARE(d_.Image(address), before);

        // Read back as written: the window follows.
        sent = d_.Sent([&] {
            Act(row, value);
            d_.Settle();
        });
        QVERIFY2(PanelDriver::Writes(sent) == expected, what);
        QCOMPARE(d_.Image(address), after);
        QVERIFY2(row.shows(value), what);
    }
    void ExerciseAll(const std::vector<Row>& rows) {
        QVERIFY(!rows.empty());
        for (const Row& row : rows) {
            Exercise(row);
            if (QTest::currentTestFailed()) return;
        }
    }

  private slots:
    void init() {
        d_.Start({"DMMAP", "DMMOP", "SMenu_ADCCLK", "SMenu_Procounter"});
        QTRY_VERIFY(d_.Control("TMPN", "SMODE")->isEnabled());
        d_.panel().MenuItem("Menu_ReadRAM")->trigger();
        const int osc = d_.Field("EN_OSC").registerIndex;
        QTRY_COMPARE(d_.Image(osc), d_.ChipByte(osc));
    }
    void cleanup() { d_.Stop(); }

    void switchNetwork() {
        const char* w = "TMPN";
        // The rows keep the field names: they live as long as the test.
        static const std::vector<QByteArray> bankFields = [] {
            std::vector<QByteArray> names;
            for (const char* bank : {"PS", "DS", "FS", "SS"})
                for (int k = 0; k < 10; ++k) names.push_back(bank + QByteArray::number(k));
            return names;
        }();
        std::vector<Row> rows;
        for (const QByteArray& field : bankFields) {
            const QString name = QString::fromLatin1(field);
            for (const char* picture : {"on", "off"}) {
                rows.push_back({w, name + picture, field.constData(), kToggles,
                                Pair(w, name + "on", name + "off")});
            }
        }
        for (const char* name : {"SMODE4", "SMODE5"}) {
            const QString n = QString::fromLatin1(name);
            for (const char* picture : {"on", "off"})
                rows.push_back({w, n + picture, name, kToggles, Pair(w, n + "on", n + "off")});
        }
        for (const char* picture : {"SDIOon", "SDIOoff"})
            rows.push_back({w, picture, "SDIO", kToggles, Pair(w, "SDIOon", "SDIOoff")});
        rows.push_back({w, "ENCMP", "EN_CMP", kToggles, Label(w, "ENCMP")});
        rows.push_back({w, "SADCP", "SADCPO", kToggles, Both(Label(w, "SADCP"), [this, w](int v) {
                            return Chosen(w, "LACPO") == (v == 1) && Chosen(w, "LDCPO") == (v != 1);
                        })});
        // A lower mode keeps the reference taps plain: the value is the label.
        QVERIFY(d_.SetField("SMODE", 0));
        auto* mpn = static_cast<gui::TMPN*>(d_.Window(w));
        rows.push_back({w, "SMODE", "SMODE", 6, Both(Combo(w, "SMODE"), [mpn](int v) {
                            return mpn->ShownPattern() == v;
                        })});
        rows.push_back({w, "SFUVR", "SFUVR", 11, Options(w, "SFUVR", 16, "SFUVR")});
        rows.push_back({w, "ACC", "ACC", 100,
                        Both(Combo(w, "ACC"),
                             Both(Pair(w, "ACCon0", "ACCoff0"), Pair(w, "ACCon1", "ACCoff1")))});
        rows.push_back({w, "SCMPRH", "S_CMPRH", 9, Options(w, "SCMPRH", 16, "SCMPRH")});
        rows.push_back({w, "SCMPI", "S_CMPI", 5, Options(w, "SCMPI", 8, "SCMPI")});
        rows.push_back({w, "SCMPRL", "S_CMPRL", 12, Options(w, "SCMPRL", 16, "SCMPRL")});
        ExerciseAll(rows);
        for (auto [field, stem, count] :
             {std::tuple{"S_CMPRH", "SCMPRH", 16}, std::tuple{"S_CMPI", "SCMPI", 8},
              std::tuple{"S_CMPRL", "SCMPRL", 16}}) {
            ExerciseAll(OptionRows(w, field, stem, count, stem));
            if (QTest::currentTestFailed()) return;
        }
    }

    void opAmpsAndPower() {
        const char* w = "TOP";
        std::vector<Row> rows;
        for (const char* n : {"1", "2"}) {
            const QString s = QString("OPS") + n;
            const char* field = n[0] == '1' ? "OPS1" : "OPS2";
            const auto shows =
                Both(Pair(w, s + "on", s + "off"), Pair(w, "N" + s + "off", "N" + s + "on"));
            for (const QString& picture : {s + "on", s + "off", "N" + s + "on", "N" + s + "off"})
                rows.push_back({w, picture, field, kToggles, shows});
        }
        for (auto [label, field] : {std::pair{"ENOP1", "EN_OP1"}, std::pair{"ENOP2", "EN_OP2"},
                                    std::pair{"ENREFO", "EN_REFO"}, std::pair{"ENBIAS", "EN_BIAS"},
                                    std::pair{"ENVS", "ENVS"}})
            rows.push_back({w, label, field, kToggles, Label(w, label)});
        rows.push_back({w, "LSREFO", "SREFO", kToggles, Both(Label(w, "LSREFO"), [this, w](int v) {
                            return Chosen(w, "SPB6") == (v != 0) && Chosen(w, "SBias") == (v == 0);
                        })});
        rows.push_back({w, "ComOPCHP", "OPCHP", 3, Combo(w, "ComOPCHP")});
        rows.push_back({w, "SAGND", "S_AGND", 2, Both(Combo(w, "SAGND"), [this, w](int v) {
                            return v != 2 || Control<QLabel>(w, "LAGNDo")->text() == "= 0.1 VDDA";
                        })});
        rows.push_back({w, "SOP1P", "S_OP1P", 6, Options(w, "SOP1P", 8, "SOP1P")});
        rows.push_back({w, "SOP2P", "S_OP2P", 5, Options(w, "SOP2P", 8, "SOP2P")});
        ExerciseAll(rows);
        if (QTest::currentTestFailed()) return;
        ExerciseAll(OptionRows(w, "S_OP1P", "SOP1P", 8, "SOP1P"));
        if (QTest::currentTestFailed()) return;
        ExerciseAll(OptionRows(w, "S_OP2P", "SOP2P", 8, "SOP2P"));
    }

    void clockAndCounter() {
        const char* w = "TDMMADCCLKA";
        const char* c = "TProCounterA";
        ExerciseAll({
            {w, "LENOSC", "EN_OSC", kToggles, Label(w, "LENOSC")},
            {w, "ENIXI", "ENI_XI", kToggles,
             Both(Label(w, "ENIXI"), Both(Label(w, "LENIXI"), Label(w, "LXIN")))},
            {w, "FCLKSEL", "FCLK_SEL", kToggles, Both(Label(w, "FCLKSEL"), Label(w, "LFCLKSEL1"))},
            {c, "CNS", "CNS", kToggles,
             Both(Label(c, "CNS"),
                  [this, c](int v) {
                      return Control<QLabel>(c, "Source")->text() == (v != 0 ? "CNTI" : "CP_OUT");
                  })},
        });
    }
};

DMM_QTEST(BoundControlsTest);

}  // namespace dmm::test

#include "bound_controls_test.moc"
