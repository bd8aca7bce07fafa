// The window on real widgets under the offscreen platform: start-up, rows, counters, menus, settings.
#include "CrcListModel.h"
#include "Icons.h"
#include "MainWindow.h"
#include "QtUi.h"

#include "core/Crc32.h"
#include "platform/FileSystem.h"
#include "platform/IniFile.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFileDialog>
#include <QMenu>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QTimer>
#include <algorithm>
#include <QTemporaryDir>
#include <QToolButton>
#include <QTreeView>
#include <QtTest>
#include <cstdio>
#include <memory>

namespace tv::qt {
namespace {

std::string Hex(const std::string& content) {
    char buf[9];
    std::snprintf(buf, sizeof buf, "%08X", Crc32(content.data(), content.size()));
    return buf;
}

// One window over a fresh folder, with its own settings file there.
struct Harness {
    QTemporaryDir dir;
    QtUi ui;
    TForm1 form{ui, RealFs()};
    std::unique_ptr<MainWindow> window;

    Harness() {
        form.ProgramPath = Path("bin/tallyvault");
        form.SettingsFile = Path("Tallyvault.ini");
    }
    ~Harness() {
        if (window) window->close();
    }
    std::string Path(const std::string& name) const { return dir.path().toStdString() + "/" + name; }
    std::string Write(const std::string& name, const std::string& content) const {
        const std::string path = Path(name);
        QDir().mkpath(QString::fromStdString(path.substr(0, path.rfind('/'))));
        QFile f(QString::fromStdString(path));
        if (!f.open(QIODevice::WriteOnly)) qFatal("cannot write %s", path.c_str());
        f.write(content.data(), static_cast<qint64>(content.size()));
        return path;
    }
    // Rows sorted by name: bad (x), gone (-), good (o), moved (!).
    std::string FourStateList() const {
        Write("set/good.bin", "good content");
        Write("set/other.bin", "moved content");
        Write("set/bad.bin", "changed");
        return Write("set/list.sfv", "good.bin " + Hex("good content") + "\r\nmoved.bin " + Hex("moved content") +
                                         "\r\nbad.bin " + Hex("original") + "\r\ngone.bin " + Hex("never here") +
                                         "\r\n");
    }
    MainWindow& Start(const std::vector<std::string>& args = {}) {
        window = std::make_unique<MainWindow>(form, ui);
        window->Start(args);
        return *window;
    }
    QString Text(const char* name) const { return window->findChild<QLabel*>(QString::fromLatin1(name))->text(); }
    QAbstractItemModel* Model() const { return window->List()->model(); }
    bool Ticked(int row) const { return Model()->index(row, 0).data(Qt::CheckStateRole).toInt() == Qt::Checked; }
    std::vector<bool> Ticks() const {
        std::vector<bool> t;
        for (int r = 0; r < Model()->rowCount(); ++r) t.push_back(Ticked(r));
        return t;
    }
    IniFile Saved() const { return LoadIniFile(RealFs(), form.SettingsFile); }
};

} // namespace

class MainWindowTest : public QObject {
    Q_OBJECT
private slots:
    void startWithoutArgumentsShowsTheSettingsSummary() {
        Harness h;
        MainWindow& w = h.Start();
        QCOMPARE(w.windowTitle(), QStringLiteral("Tallyvault V1.32"));
        QCOMPARE(h.Text("Status"), QStringLiteral("設定状態  移動補完 補完元=随時指定 重複-確認"));
        for (const char* counter : {"TotalCounter", "GoodCounter", "BadCounter", "NotingCounter"})
            QCOMPARE(h.Text(counter), QStringLiteral("0"));
        QCOMPARE(h.Model()->rowCount(), 0);
        QCOMPARE(w.findChild<QToolButton*>(QStringLiteral("SearchButton"))->toolTip(),
                 QStringLiteral("移動補完 補完元=随時指定"));
        QVERIFY(!w.ActionOf(h.form.MakeCrcCmd)->isEnabled());
        QVERIFY(w.ActionOf(h.form.DblInq)->isChecked());
        // Closing writes every key, the width under its own spelling.
        w.close();
        const IniFile ini = h.Saved();
        QCOMPARE(ini.Read("Window Position", "Whdth").value_or(""), std::to_string(w.width()));
        QCOMPARE(ini.Read("Tallyvault", "List Same File Width").value_or(""), std::string("500"));
        QCOMPARE(ini.Read("Tallyvault", "Redundant File Detect <Inquire>").value_or(""), std::string("1"));
    }

    void startWithAListShowsRowsIconsCountersAndTicks() {
        Harness h;
        const std::string list = h.FourStateList();
        const std::string second = h.Write("second/other.sfv", "x.bin 00000000\r\n");
        h.Start({list, second});
        QCOMPARE(h.form.ListPath, list);
        QCOMPARE(h.Model()->rowCount(), 4);
        QCOMPARE(h.Text("TotalCounter"), QStringLiteral("4"));
        QCOMPARE(h.Text("GoodCounter"), QStringLiteral("1"));
        QCOMPARE(h.Text("BadCounter"), QStringLiteral("1"));
        QCOMPARE(h.Text("NotingCounter"), QStringLiteral("2"));
        QCOMPARE(h.Text("Status"), QStringLiteral("読み取り終了 list.sfv"));
        const struct {
            const char* Name;
            int Icon;
            bool Ticked;
        } rows[] = {{"bad.bin", 2, false}, {"gone.bin", 3, false}, {"good.bin", 0, false}, {"moved.bin", 1, true}};
        for (int r = 0; r < 4; ++r) {
            const QModelIndex i = h.Model()->index(r, 0);
            QCOMPARE(i.data().toString(), QString::fromLatin1(rows[r].Name));
            const QIcon icon = qvariant_cast<QIcon>(i.data(Qt::DecorationRole));
            QVERIFY(!icon.isNull());
            QCOMPARE(icon.cacheKey(), StateIcon(rows[r].Icon).cacheKey());
            QCOMPARE(h.Ticked(r), rows[r].Ticked);
        }
        QCOMPARE(h.Model()->index(2, 2).data().toString(), QString::fromStdString(Hex("good content")));
        QCOMPARE(h.Model()->index(3, 3).data().toString(), QString::fromStdString(h.Path("set/other.bin")));
        QCOMPARE(h.Model()->headerData(3, Qt::Horizontal).toString(), QStringLiteral("Same File"));
    }

    void checkButtonAndStateItemsTickRowsOnTheWidgets() {
        Harness h;
        MainWindow& w = h.Start({h.FourStateList()});
        auto* check = w.findChild<QToolButton*>(QStringLiteral("CheckButton"));
        QCOMPARE(check->text(), QStringLiteral("選"));
        QCOMPARE(check->toolTip(), QStringLiteral("チェックON/OFF"));
        // bad, gone, good, moved: after the ! rows come the x and - rows, then all, then none.
        const std::vector<std::vector<bool>> cycle = {{true, true, false, false},
                                                      {true, true, true, true},
                                                      {false, false, false, false},
                                                      {false, false, false, true}};
        for (const auto& expected : cycle) {
            check->click();
            QCOMPARE(h.Ticks(), expected);
        }
        // The state items tick themselves before they apply all four ticks.
        w.ActionOf(h.form.ON0)->trigger();
        QVERIFY(h.form.ON0.Checked());
        QVERIFY(w.ActionOf(h.form.ON0)->isChecked());
        QCOMPARE(h.Ticks(), (std::vector<bool>{false, false, true, false}));
        w.ActionOf(h.form.AllOn)->trigger();
        QCOMPARE(h.Ticks(), (std::vector<bool>{true, true, true, true}));
        w.ActionOf(h.form.ON2)->trigger();
        QVERIFY(!w.ActionOf(h.form.ON2)->isChecked());
        QCOMPARE(h.Ticks(), (std::vector<bool>{false, true, true, true}));
        // A tick set by the user reaches the rows of the logic.
        QVERIFY(h.Model()->setData(h.Model()->index(0, 0), Qt::Checked, Qt::CheckStateRole));
        QVERIFY(h.form.CrcList.Checked(0));
    }

    void theDuplicateGroupMayHaveNoneTicked() {
        Harness h;
        MainWindow& w = h.Start();
        QAction* nop = w.ActionOf(h.form.DblNop);
        QAction* inq = w.ActionOf(h.form.DblInq);
        QAction* del = w.ActionOf(h.form.DblDel);
        inq->trigger();
        QVERIFY(!nop->isChecked() && !inq->isChecked() && !del->isChecked());
        QVERIFY(!h.form.DblNop.Checked() && !h.form.DblInq.Checked() && !h.form.DblDel.Checked());
        del->trigger();
        QVERIFY(!nop->isChecked() && !inq->isChecked() && del->isChecked());
        nop->trigger();
        QVERIFY(nop->isChecked() && !inq->isChecked() && !del->isChecked());
        QVERIFY(h.form.DblNop.Checked() && !h.form.DblDel.Checked());
        // The independent trash option keeps its own tick.
        w.ActionOf(h.form.TashUse)->trigger();
        QVERIFY(h.form.TashUse.Checked() && h.form.DblNop.Checked());
        w.close();
        QCOMPARE(h.Saved().Read("Tallyvault", "Redundant File Detect <No Action>").value_or(""), std::string("1"));
        QCOMPARE(h.Saved().Read("Tallyvault", "Redundant File Detect <Inquire>").value_or(""), std::string("0"));
    }

    void savedSettingsAreAppliedClampedAndWrittenBack() {
        Harness h;
        h.Write("Tallyvault.ini", "[Window Position]\nTop=-5\nLeft=-30\nWhdth=100000\nHeight=300\n"
                                  "[Tallyvault]\nList CRC Width=90\nComplement Fix Folder Use=1\n"
                                  "Complement Fix Folder Name=" + h.Path("vanished") + "\nmine=kept\n");
        MainWindow& w = h.Start();
        QCOMPARE(w.List()->header()->sectionSize(2), 90);
        QCOMPARE(w.List()->header()->sectionSize(0), 250);
        QCOMPARE(h.form.Bounds.Left, 0);
        QCOMPARE(h.form.Bounds.Top, 0);
        QVERIFY(w.frameGeometry().left() >= 0 && w.frameGeometry().top() >= 0);
        QCOMPARE(w.width(), w.minimumWidth());
        QCOMPARE(w.height(), 300);
        QVERIFY(!w.ActionOf(h.form.FixFolder)->isChecked());
        QVERIFY(w.findChild<QToolButton*>(QStringLiteral("SearchButton"))->toolTip().endsWith(QStringLiteral("補完元=随時指定")));

        w.List()->header()->resizeSection(0, 321);
        w.close();
        const IniFile ini = h.Saved();
        QCOMPARE(ini.Read("Tallyvault", "List FileName Width").value_or(""), std::string("321"));
        QCOMPARE(ini.Read("Tallyvault", "List CRC Width").value_or(""), std::string("90"));
        QCOMPARE(ini.Read("Tallyvault", "Complement Fix Folder Name").value_or(""), h.Path("vanished"));
        QCOMPARE(ini.Read("Tallyvault", "mine").value_or(""), std::string("kept"));
        QCOMPARE(ini.Read("Window Position", "Left").value_or(""), std::string("0"));
    }

    void aClickOnTheStatusBarReReadsTheList() {
        Harness h;
        h.Start({h.FourStateList()});
        QCOMPARE(h.Model()->rowCount(), 4);
        h.Write("set/list.sfv", "good.bin " + Hex("good content") + "\r\n");
        QTest::mouseClick(h.window->findChild<QLabel*>(QStringLiteral("Status")), Qt::LeftButton);
        QCOMPARE(h.Model()->rowCount(), 1);
        QCOMPARE(h.Text("TotalCounter"), QStringLiteral("1"));
        QCOMPARE(h.Text("GoodCounter"), QStringLiteral("1"));
    }

    void thePopupCopiesTheSelectedRowOnly() {
        Harness h;
        MainWindow& w = h.Start({h.FourStateList()});
        QApplication::clipboard()->setText(QStringLiteral("before"));
        w.ActionOf(h.form.CopyName)->trigger();
        w.ActionOf(h.form.CopyCRC)->trigger();
        QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("before"));

        w.List()->selectionModel()->select(h.Model()->index(2, 1),
                                           QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        QCOMPARE(h.form.CrcList.Selected(), 2);
        w.ActionOf(h.form.CopyName)->trigger();
        QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("good.bin"));
        w.ActionOf(h.form.CopyCRC)->trigger();
        QCOMPARE(QApplication::clipboard()->text(), QString::fromStdString(Hex("good content")));
        // A selection cleared by the logic is cleared on screen.
        h.form.CrcList.SetSelected(-1);
        w.SyncFromForm();
        QVERIFY(w.List()->selectionModel()->selectedRows().isEmpty());
    }

    void closingAMaximisedWindowSavesItsNormalBounds() {
        Harness h;
        MainWindow& w = h.Start();
        w.resize(500, 260);
        w.move(40, 50);
        QApplication::processEvents();
        w.showMaximized();
        QApplication::processEvents();
        QVERIFY(w.isMaximized());
        QVERIFY(w.width() != 500);
        w.close();
        const IniFile ini = h.Saved();
        QCOMPARE(ini.Read("Window Position", "Whdth").value_or(""), std::string("500"));
        QCOMPARE(ini.Read("Window Position", "Height").value_or(""), std::string("260"));
        QCOMPARE(ini.Read("Window Position", "Left").value_or(""), std::string("40"));
        QCOMPARE(ini.Read("Window Position", "Top").value_or(""), std::string("50"));
    }

    void whileACommandRunsTheWindowNeitherClosesNorTakesTicks() {
        Harness h;
        MainWindow& w = h.Start({h.FourStateList()});
        bool stillOpen = false, tickTaken = true, clickRefused = false;
        h.form.RunCommand([&] {
            // What a click during a long load would do.
            w.close();
            QApplication::processEvents();
            stillOpen = w.isVisible();
            tickTaken = h.Model()->setData(h.Model()->index(0, 0), Qt::Checked, Qt::CheckStateRole);
            clickRefused = !h.form.RunCommand([] {});
        });
        QVERIFY(stillOpen);
        QVERIFY(!tickTaken);
        QVERIFY(!h.form.CrcList.Checked(0));
        QVERIFY(clickRefused);
        // Once it is over, both work again.
        QVERIFY(h.Model()->setData(h.Model()->index(0, 0), Qt::Checked, Qt::CheckStateRole));
        QVERIFY(w.close());
    }

    void dialogFiltersAndMessageTextsConvert() {
        const QStringList filters =
            QtFilters("CRC Check File (sfv,crc,csv)|*.CRC;*.SFV;*.CSV|CRC1632 File (*.txt)|*.TXT");
        QCOMPARE(filters.size(), 2);
        QCOMPARE(filters[0], QStringLiteral("CRC Check File (sfv,crc,csv) (*.[cC][rR][cC] *.[sS][fF][vV] *.[cC][sS][vV])"));
        QCOMPARE(filters[1], QStringLiteral("CRC1632 File (*.txt) (*.[tT][xX][tT])"));
        // The mixed separators of the version text: CR CR LF is two breaks, a lone CR one.
        QCOMPARE(MessageText("a\r\r\nb\r\nc\rd\ne"), QStringLiteral("a\n\nb\nc\nd\ne"));
    }

    void theDuplicateQuestionShowsItsFourButtonsInOrder() {
        QtUi ui;
        const struct {
            const char* Press; // a button's caption, or nullptr for Escape
            DuplicateAnswer Answer;
        } cases[] = {{"はい(&Y)", DuplicateAnswer::Yes},
                     {"いいえ(&N)", DuplicateAnswer::No},
                     {"すべていいえ(&O)", DuplicateAnswer::NoToAll},
                     {"すべてはい(&A)", DuplicateAnswer::YesToAll},
                     {nullptr, DuplicateAnswer::Closed}};
        for (const auto& c : cases) {
            QStringList order;
            QString title;
            QTimer::singleShot(0, [&] {
                for (QWidget* w : QApplication::topLevelWidgets()) {
                    auto* box = qobject_cast<QMessageBox*>(w);
                    if (!box || !box->isVisible()) continue;
                    title = box->windowTitle();
                    QList<QAbstractButton*> buttons;
                    for (QAbstractButton* b : box->buttons())
                        if (b->isVisible()) buttons << b;
                    std::sort(buttons.begin(), buttons.end(),
                              [](QAbstractButton* a, QAbstractButton* b) { return a->x() < b->x(); });
                    for (QAbstractButton* b : buttons) order << b->text();
                    if (!c.Press) {
                        QTest::keyClick(box, Qt::Key_Escape);
                        return;
                    }
                    for (QAbstractButton* b : buttons)
                        if (b->text() == QString::fromUtf8(c.Press)) b->click();
                }
            });
            QCOMPARE(ui.AskDuplicate("重複ファイル検出\r\ra と\rb は同じファイルです。"), c.Answer);
            QCOMPARE(title, QStringLiteral("警告"));
            QCOMPARE(order, (QStringList{QStringLiteral("はい(&Y)"), QStringLiteral("いいえ(&N)"),
                                         QStringLiteral("すべていいえ(&O)"), QStringLiteral("すべてはい(&A)")}));
        }
    }

    void createModeOnTheWidgetsWritesAListThroughTheSaveDialog() {
        Harness h;
        MainWindow& w = h.Start({h.FourStateList()});
        w.findChild<QToolButton*>(QStringLiteral("ModeButton"))->click();
        // The folder of the list, the list itself left unticked by the check button.
        QCOMPARE(h.Model()->rowCount(), 4);
        QCOMPARE(h.Model()->index(2, 0).data().toString(), QStringLiteral("list.sfv"));
        QCOMPARE(w.findChild<QToolButton*>(QStringLiteral("ModeButton"))->text(), QStringLiteral("書"));
        QCOMPARE(w.findChild<QToolButton*>(QStringLiteral("RenameButton"))->text(), QStringLiteral("出"));
        QCOMPARE(h.Text("Label2"), QStringLiteral("選"));
        QVERIFY(w.findChild<QLabel*>(QStringLiteral("BadCounter"))->isHidden());
        QVERIFY(w.findChild<QLabel*>(QStringLiteral("NotingCounter"))->isHidden());
        QCOMPARE(w.ActionOf(h.form.ModeChangeCmd)->text(), QStringLiteral("モード変更（現在：書込モード）"));
        QVERIFY(w.ActionOf(h.form.MakeCrcCmd)->isEnabled());
        QVERIFY(!w.ActionOf(h.form.FileChangeCmd)->isEnabled());
        QVERIFY(!w.ActionOf(h.form.MakeRequestCmd)->isEnabled());
        QVERIFY(!w.findChild<QMenu*>(QStringLiteral("DubbleAction"))->menuAction()->isEnabled());
        w.findChild<QToolButton*>(QStringLiteral("CheckButton"))->click();
        QCOMPARE(h.Ticks(), (std::vector<bool>{true, true, false, true}));
        QCOMPARE(h.Text("GoodCounter"), QStringLiteral("3"));

        QString title, proposed;
        const std::string out = h.Path("set/new.sfv");
        QTimer::singleShot(0, [&] {
            for (QWidget* top : QApplication::topLevelWidgets()) {
                auto* dialog = qobject_cast<QFileDialog*>(top);
                if (!dialog || !dialog->isVisible()) continue;
                title = dialog->windowTitle();
                proposed = dialog->selectedFiles().value(0);
                dialog->selectFile(QString::fromStdString(out));
                QMetaObject::invokeMethod(dialog, "accept");
            }
        });
        w.ActionOf(h.form.MakeCrcCmd)->trigger();
        QCOMPARE(title, QStringLiteral("出力ファイル名を入力"));
        QCOMPARE(proposed, QString::fromStdString(h.Path("set/set.SFV")));
        // Back in read mode with the new list, verified.
        QCOMPARE(h.form.ListPath, out);
        QCOMPARE(h.Model()->rowCount(), 3);
        QCOMPARE(h.Text("GoodCounter"), QStringLiteral("3"));
        QCOMPARE(h.Text("Status"), QStringLiteral("読み取り終了 new.sfv"));
        QVERIFY(!w.findChild<QLabel*>(QStringLiteral("BadCounter"))->isHidden());
        QCOMPARE(w.ActionOf(h.form.ModeChangeCmd)->text(), QStringLiteral("モード変更（現在：読取モード）"));
        QVERIFY(w.findChild<QMenu*>(QStringLiteral("DubbleAction"))->menuAction()->isEnabled());
    }

    void aHundredThousandRowsLoadAndScroll() {
        Harness h;
        std::string text;
        for (int i = 0; i < 100000; ++i) {
            char line[40];
            std::snprintf(line, sizeof line, "file%06d.bin %08X\r\n", i, static_cast<unsigned>(i) * 2654435761u);
            text += line;
        }
        MainWindow& w = h.Start({h.Write("big/big.sfv", text)});
        QCOMPARE(h.Model()->rowCount(), 100000);
        QCOMPARE(h.Text("TotalCounter"), QStringLiteral("100000"));
        QCOMPARE(h.Text("NotingCounter"), QStringLiteral("100000"));
        w.List()->scrollToBottom();
        QApplication::processEvents();
        QCOMPARE(h.Model()->index(99999, 0).data().toString(), QStringLiteral("file099999.bin"));
        QVERIFY(w.List()->indexAt(QPoint(5, 5)).row() > 99000);
    }
};

} // namespace tv::qt

QTEST_MAIN(tv::qt::MainWindowTest)
#include "MainWindowTest.moc"
