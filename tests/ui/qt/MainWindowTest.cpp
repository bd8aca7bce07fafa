// The window on real widgets under the offscreen platform: start-up, rows, counters, menus, settings.
#include "MainWindow.h"
#include "CrcListModel.h"
#include "Icons.h"
#include "QtUi.h"

#include "core/Crc32.h"
#include "platform/FileSystem.h"
#include "platform/IniFile.h"
#include "repair/RepairTexts.h"
#include "writers/Par2Create.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QHeaderView>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>
#include <QTreeView>
#include <QtTest>
#include <algorithm>
#include <cstdio>
#include <functional>
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
        for (int r = 0; r < Model()->rowCount(); ++r)
            t.push_back(Ticked(r));
        return t;
    }
    IniFile Saved() const { return LoadIniFile(RealFs(), form.SettingsFile); }
};

// Answers the next modal message box with the button captioned `caption` once it is open.
void AnswerBox(const QString& caption) {
    auto* poll = new QTimer(qApp);
    QObject::connect(poll, &QTimer::timeout, poll, [poll, caption] {
        for (QWidget* top : QApplication::topLevelWidgets())
            if (auto* box = qobject_cast<QMessageBox*>(top); box && box->isVisible())
                for (QAbstractButton* b : box->buttons())
                    if (b->text() == caption) {
                        poll->deleteLater();
                        poll->stop();
                        b->click();
                        return;
                    }
    });
    poll->start(20);
}

// The names of the rows in the view's order.
QStringList Shown(const QAbstractItemModel* model, int column = 0) {
    QStringList names;
    for (int r = 0; r < model->rowCount(); ++r)
        names << model->index(r, column).data().toString();
    return names;
}

// A folder on PATH holding only the named programs, each a script printing `output`.
struct FakePath {
    QTemporaryDir dir;
    QByteArray saved = qgetenv("PATH");
    explicit FakePath(const std::vector<std::pair<const char*, const char*>>& programs) {
        for (const auto& [name, output] : programs) {
            QFile f(dir.filePath(QString::fromLatin1(name)));
            if (!f.open(QIODevice::WriteOnly)) qFatal("cannot write %s", name);
            f.write(QByteArray("#!/bin/sh\necho '") + output + "'\n");
            f.close();
            f.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        }
        qputenv("PATH", dir.path().toLocal8Bit());
    }
    ~FakePath() { qputenv("PATH", saved); }
    QString Of(const char* name) const { return dir.filePath(QString::fromLatin1(name)); }
};

// Answers every message box that shows with its `button` while it lives (the questions of a file dialog too).
struct BoxAnswerer {
    QTimer poll;
    QStringList seen;
    explicit BoxAnswerer(QMessageBox::StandardButton button) {
        QObject::connect(&poll, &QTimer::timeout, [this, button] {
            for (QWidget* top : QApplication::topLevelWidgets())
                if (auto* box = qobject_cast<QMessageBox*>(top); box && box->isVisible() && box->button(button)) {
                    seen << box->text();
                    box->button(button)->click();
                }
        });
        poll.start(10);
    }
};

// Runs `act` on the file dialog once it shows its folder's files: the folder is read in the background,
// and the dialog selects the name it was given again once it has it.
void OnFileDialog(const std::function<void(QFileDialog*)>& act) {
    auto* poll = new QTimer(qApp);
    auto settled = std::make_shared<int>(0);
    QObject::connect(poll, &QTimer::timeout, poll, [poll, act, settled] {
        for (QWidget* top : QApplication::topLevelWidgets())
            if (auto* dialog = qobject_cast<QFileDialog*>(top); dialog && dialog->isVisible()) {
                auto* files = dialog->findChild<QListView*>(QStringLiteral("listView"));
                if (!files || !files->model() || files->model()->rowCount(files->rootIndex()) == 0) continue;
                if (++*settled < 20) continue; // the rest of the folder's reading, a moment more
                poll->stop();
                poll->deleteLater();
                act(dialog);
                return;
            }
    });
    poll->start(10);
}

std::string ReadFile(const std::string& path) {
    QFile f(QString::fromStdString(path));
    if (!f.open(QIODevice::ReadOnly)) return {};
    return f.readAll().toStdString();
}

// The names in a folder, to see that nothing was left behind in it.
QStringList FolderNames(const std::string& folder) {
    return QDir(QString::fromStdString(folder)).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot);
}

} // namespace

class MainWindowTest : public QObject {
    Q_OBJECT
private slots:
    void startWithoutArgumentsShowsTheSettingsSummary() {
        Harness h;
        MainWindow& w = h.Start();
        QCOMPARE(w.windowTitle(), QStringLiteral("Tallyvault V1.32"));
        QCOMPARE(h.Text("Status"), T("設定状態  移動補完 補完元=随時指定 重複-確認"));
        for (const char* counter : {"TotalCounter", "GoodCounter", "BadCounter", "NotingCounter"})
            QCOMPARE(h.Text(counter), QStringLiteral("0"));
        QCOMPARE(h.Model()->rowCount(), 0);
        QCOMPARE(w.findChild<QToolButton*>(QStringLiteral("SearchButton"))->toolTip(),
                 T("移動補完 補完元=随時指定"));
        QVERIFY(!w.ActionOf(h.form.MakeCrcCmd)->isEnabled());
        QVERIFY(w.ActionOf(h.form.DblInq)->isChecked());
        // Closing writes every key, the width under its own spelling.
        w.close();
        const IniFile ini = h.Saved();
        QCOMPARE(ini.Read("Window Position", "Whdth").value_or(""), std::to_string(w.width()));
        QCOMPARE(ini.Read("Tallyvault", "List Same File Width").value_or(""), std::string("500"));
        QCOMPARE(ini.Read("Tallyvault", "Redundant File Detect <Inquire>").value_or(""), std::string("1"));
    }

    void aProgressBarShowsWhileLongWorkRunsAndGoesAfter() {
        Harness h;
        const std::string big(std::size_t{10} << 20, 'v');
        h.Write("set/big.bin", big);
        const std::string list = h.Write("set/list.sfv", "big.bin " + Hex(big) + "\r\n");
        h.form.SlowDownReads(100); // ten blocks: a second of work
        int barValue = -1;
        QString during;
        QTimer poll;
        connect(&poll, &QTimer::timeout, [&] {
            auto* bar = h.window ? h.window->findChild<QProgressBar*>(QStringLiteral("Progress")) : nullptr;
            if (!bar || bar->isHidden()) return;
            barValue = std::max(barValue, bar->value());
            during = h.Text("Status");
        });
        poll.start(20);
        h.Start({list});
        poll.stop();
        QVERIFY2(barValue > 0 && barValue <= 1000, qPrintable(QString::number(barValue)));
        QVERIFY2(during.contains(QStringLiteral(" / 10.0 MB  ")), qPrintable(during));
        QVERIFY(h.window->findChild<QProgressBar*>(QStringLiteral("Progress"))->isHidden());
        QCOMPARE(h.Text("Status"), T(h.form.Status.Caption()));
        QCOMPARE(h.form.GoodCount, 1);
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
        QCOMPARE(h.Text("Status"), T("読み取り終了 list.sfv"));
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
        QCOMPARE(check->text(), T("選"));
        QCOMPARE(check->toolTip(), T("チェックON/OFF"));
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
                                  "Complement Fix Folder Name=" +
                                      h.Path("vanished") + "\nmine=kept\n");
        MainWindow& w = h.Start();
        QCOMPARE(w.List()->header()->sectionSize(2), 90);
        QCOMPARE(w.List()->header()->sectionSize(0), 250);
        QCOMPARE(h.form.Bounds.Left, 0);
        QCOMPARE(h.form.Bounds.Top, 0);
        QVERIFY(w.frameGeometry().left() >= 0 && w.frameGeometry().top() >= 0);
        QCOMPARE(w.width(), w.minimumWidth());
        QCOMPARE(w.height(), 300);
        QVERIFY(!w.ActionOf(h.form.FixFolder)->isChecked());
        QVERIFY(w.findChild<QToolButton*>(QStringLiteral("SearchButton"))
                    ->toolTip()
                    .endsWith(ShownLanguage() == "ja" ? QStringLiteral("補完元=随時指定")
                                                      : QStringLiteral("a folder chosen each time")));

        w.List()->header()->resizeSection(0, 321);
        w.close();
        const IniFile ini = h.Saved();
        QCOMPARE(ini.Read("Tallyvault", "List FileName Width").value_or(""), std::string("321"));
        QCOMPARE(ini.Read("Tallyvault", "List CRC Width").value_or(""), std::string("90"));
        QCOMPARE(ini.Read("Tallyvault", "Complement Fix Folder Name").value_or(""), h.Path("vanished"));
        QCOMPARE(ini.Read("Tallyvault", "mine").value_or(""), std::string("kept"));
        QCOMPARE(ini.Read("Window Position", "Left").value_or(""), std::string("0"));
    }

    // The Shift-JIS item sits in the option menu, starts unticked, reaches the logic and is kept.
    void theShiftJisItemTogglesTheLogicAndIsSaved() {
        Harness h;
        MainWindow& w = h.Start();
        QAction* item = w.ActionOf(h.form.WriteCp932);
        QVERIFY(w.findChild<QMenu*>(QStringLiteral("option"))->actions().contains(item));
        QCOMPARE(item->text(), T("CRCファイルをShift-JISで作成(&J)"));
        QVERIFY(item->isCheckable() && !item->isChecked() && !h.form.WriteCp932.Checked());
        item->trigger();
        QVERIFY(h.form.WriteCp932.Checked());
        w.close();
        QCOMPARE(h.Saved().Read("Tallyvault", "Write Lists <CP932>").value_or(""), std::string("1"));
    }

    // The kinds of list are one radio group: a click ticks one kind in the logic, and it is kept.
    void theListKindsAreOneRadioGroupAndSaved() {
        Harness h;
        MainWindow& w = h.Start();
        QAction* crc = w.ActionOf(h.form.ListKinds[0]);
        QAction* sha256 = w.ActionOf(h.form.ListKinds[4]);
        QVERIFY(w.findChild<QMenu*>(QStringLiteral("ListKindMenu"))->actions().contains(sha256));
        QVERIFY(crc->isChecked() && !sha256->isChecked());
        sha256->trigger();
        sha256->trigger(); // a second click keeps the kind
        QCOMPARE(h.form.CreateAlgorithm(), HashAlgorithm::Sha256);
        QVERIFY(sha256->isChecked() && !crc->isChecked());
        w.close();
        QCOMPARE(h.Saved().Read("Tallyvault", "Write Lists <SHA-256>").value_or(""), std::string("1"));
        QCOMPARE(h.Saved().Read("Tallyvault", "Write Lists <CRC-32>").value_or(""), std::string("0"));
    }

    // PAR2 is one more kind of the radio group. Its redundancy is typed in a box (a bad value refused with a
    // box that says why); the set is written for the ticked files, and the search button, 止 meanwhile, stops
    // it with nothing written.
    void thePar2KindTakesItsRedundancyAndTheStopButtonStopsItsWrite() {
        Harness h;
        h.Write("set/big.bin", std::string(std::size_t{8} << 20, 'p'));
        h.Write("set/small.bin", "small");
        MainWindow& w = h.Start();
        QAction* par2 = w.ActionOf(h.form.ListKindPar2);
        QVERIFY(w.findChild<QMenu*>(QStringLiteral("ListKindMenu"))->actions().contains(par2));
        QCOMPARE(par2->text(), T("PAR2 復旧セット(&P)"));
        par2->trigger();
        QVERIFY(par2->isChecked() && !w.ActionOf(h.form.ListKinds[0])->isChecked());
        QVERIFY(h.form.ListKindPar2.Checked());

        const auto typeInBox = [](const QString& text) {
            auto* poll = new QTimer(qApp);
            QObject::connect(poll, &QTimer::timeout, poll, [poll, text] {
                for (QWidget* top : QApplication::topLevelWidgets())
                    if (auto* box = qobject_cast<QInputDialog*>(top); box && box->isVisible()) {
                        poll->stop();
                        poll->deleteLater();
                        box->setTextValue(text);
                        box->accept();
                        return;
                    }
            });
            poll->start(10);
        };
        {
            BoxAnswerer ok(QMessageBox::Ok);
            typeInBox(QStringLiteral("abc"));
            w.ActionOf(h.form.Par2RedundancyCmd)->trigger();
            QCOMPARE(h.form.Par2Redundancy, 10);
            QCOMPARE(ok.seen.size(), 1);
            QVERIFY2(ok.seen[0].contains(QStringLiteral("1000")) && ok.seen[0].contains(QStringLiteral("abc")),
                     qPrintable(ok.seen[0]));
        }
        typeInBox(QStringLiteral("5"));
        w.ActionOf(h.form.Par2RedundancyCmd)->trigger();
        QCOMPARE(h.form.Par2Redundancy, 5);

        w.Run([&] { h.form.ModeButtonClick(); });
        h.form.BaseFolder = h.Path("set");
        w.Run([&] { h.form.ScanFolder(); });
        w.ActionOf(h.form.AllOn)->trigger();
        auto* stop = w.findChild<QToolButton*>(QStringLiteral("SearchButton"));
        QString captionMeanwhile;
        QTimer stopper;
        QObject::connect(&stopper, &QTimer::timeout, [&] {
            if (!h.form.Par2Creating || !captionMeanwhile.isEmpty()) return;
            captionMeanwhile = stop->text();
            stop->click();
        });
        stopper.start(0);
        // The save dialog takes the name it proposes (the folder shows no file of the kind to wait for).
        const auto acceptSave = [] {
            auto* poll = new QTimer(qApp);
            auto settled = std::make_shared<int>(0);
            QObject::connect(poll, &QTimer::timeout, poll, [poll, settled] {
                for (QWidget* top : QApplication::topLevelWidgets())
                    if (auto* dialog = qobject_cast<QFileDialog*>(top); dialog && dialog->isVisible()) {
                        if (++*settled < 20) return;
                        poll->stop();
                        poll->deleteLater();
                        QMetaObject::invokeMethod(dialog, "accept", Qt::QueuedConnection);
                        return;
                    }
            });
            poll->start(10);
        };
        acceptSave();
        w.ActionOf(h.form.MakeCrcCmd)->trigger();
        stopper.stop();
        QCOMPARE(captionMeanwhile, T("止"));
        QVERIFY(h.form.IsCreateMode);
        QCOMPARE(stop->text(), T("－"));
        QCOMPARE(FolderNames(h.Path("set")), (QStringList{QStringLiteral("big.bin"), QStringLiteral("small.bin")}));
        QCOMPARE(h.form.Status.Caption(), std::string("作成を中止しました。復旧セットのファイルは書き込んでいません"));

        // Not stopped: the set is written and read back, every row whole.
        acceptSave();
        w.ActionOf(h.form.MakeCrcCmd)->trigger();
        QVERIFY(!h.form.IsCreateMode);
        QCOMPARE(h.form.ListPath, h.Path("set/set.par2"));
        QCOMPARE(h.form.GoodCount, 2);
        w.close();
        QCOMPARE(h.Saved().Read("Tallyvault", "Write Lists <PAR2>").value_or(""), std::string("1"));
        QCOMPARE(h.Saved().Read("Tallyvault", "PAR2 Redundancy").value_or(""), std::string("5"));
    }

    void theSubFolderOptionListsTheTreeAndTheUnlistedFilesAreShownInADialog() {
        Harness h;
        h.Write("set/top.bin", "top");
        h.Write("set/sub/inner.bin", "inner");
        MainWindow& w = h.Start();
        QAction* item = w.ActionOf(h.form.IncludeSubFolders);
        QVERIFY(w.findChild<QMenu*>(QStringLiteral("option"))->actions().contains(item));
        QCOMPARE(item->text(), T("サブフォルダも含める(&S)"));
        QVERIFY(item->isCheckable() && !item->isChecked());
        item->trigger();
        QVERIFY(h.form.IncludeSubFolders.Checked());
        h.form.ModeButtonClick();
        h.form.BaseFolder = h.Path("set");
        w.Run([&] { h.form.ScanFolder(); });
        QCOMPARE(Shown(h.Model()), (QStringList{QStringLiteral("sub/inner.bin"), QStringLiteral("top.bin")}));

        // A list of the top file alone; the new file and the sub-folder's are not in it.
        h.Write("set/list.sfv", "top.bin " + Hex("top") + "\r\n");
        h.Write("set/new.bin", "new");
        h.form.ListPath = h.Path("set/list.sfv");
        w.Run([&] { h.form.ModeButtonClick(); });
        QAction* unlisted = w.ActionOf(h.form.UnlistedCmd);
        QVERIFY(w.findChild<QMenu*>(QStringLiteral("File1"))->actions().contains(unlisted) && unlisted->isEnabled());
        QString shown;
        QTimer::singleShot(0, [&] {
            for (QWidget* top : QApplication::topLevelWidgets())
                if (auto* box = qobject_cast<QMessageBox*>(top); box && box->isVisible()) {
                    shown = box->text();
                    box->accept();
                }
        });
        unlisted->trigger();
        QVERIFY2(shown.contains(T("＋ new.bin")) && !shown.contains(QStringLiteral("inner")),
                 qPrintable(shown));
        // Never rows of the list.
        QCOMPARE(Shown(h.Model()), QStringList{QStringLiteral("top.bin")});
        w.close();
        QCOMPARE(h.Saved().Read("Tallyvault", "Create Lists <Include Sub Folders>").value_or(""), std::string("1"));
    }

    void theAddCommandAsksWithTheCountThenAddsTheNewFiles() {
        Harness h;
        h.Write("set/top.bin", "top");
        h.Write("set/list.sfv", "top.bin " + Hex("top") + "\r\n");
        h.Write("set/new 1.bin", "one");
        h.Write("set/new 2.bin", "two");
        MainWindow& w = h.Start({h.Path("set/list.sfv")});
        QAction* add = w.ActionOf(h.form.AddNewFilesCmd);
        QVERIFY(w.findChild<QMenu*>(QStringLiteral("File1"))->actions().contains(add) && add->isEnabled());
        QCOMPARE(add->text(), T("新規ファイルを追加(&A)"));
        // Each box is answered as it shows: the question with OK (then Cancel), the report with OK.
        QStringList shown;
        QMessageBox::StandardButton answer = QMessageBox::Cancel;
        QTimer answering;
        QObject::connect(&answering, &QTimer::timeout, [&] {
            for (QWidget* top : QApplication::topLevelWidgets())
                if (auto* box = qobject_cast<QMessageBox*>(top); box && box->isVisible()) {
                    shown << box->text();
                    QAbstractButton* b = box->button(box->button(answer) ? answer : QMessageBox::Ok);
                    b->click();
                }
        });
        answering.start(10);
        add->trigger();
        QCOMPARE(shown, QStringList{T("新しいファイル 2 件をリストに追加します。よろしいですか？")});
        QCOMPARE(h.Model()->rowCount(), 1);
        shown.clear();
        answer = QMessageBox::Ok;
        add->trigger();
        answering.stop();
        QCOMPARE(shown, (QStringList{T("新しいファイル 2 件をリストに追加します。よろしいですか？"),
                                     T("リストに追加しました： 2 件")}));
        // Read again and verified: the new files are rows of the list now.
        QCOMPARE(Shown(h.Model()),
                 (QStringList{QStringLiteral("new 1.bin"), QStringLiteral("new 2.bin"), QStringLiteral("top.bin")}));
        QCOMPARE(h.form.GoodCounter.Caption(), std::string("3"));
        w.close();
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
        QCOMPARE(filters[0],
                 QStringLiteral("CRC Check File (sfv,crc,csv) (*.[cC][rR][cC] *.[sS][fF][vV] *.[cC][sS][vV])"));
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
                    for (QAbstractButton* b : buttons)
                        order << b->text();
                    if (!c.Press) {
                        QTest::keyClick(box, Qt::Key_Escape);
                        return;
                    }
                    for (QAbstractButton* b : buttons)
                        if (b->text() == T(c.Press)) b->click();
                }
            });
            QCOMPARE(ui.AskDuplicate("重複ファイル検出\r\ra と\rb は同じファイルです。"), c.Answer);
            QCOMPARE(title, T("警告"));
            QCOMPARE(order, (QStringList{T("はい(&Y)"), T("いいえ(&N)"),
                                         T("すべていいえ(&O)"), T("すべてはい(&A)")}));
        }
    }

    void createModeOnTheWidgetsWritesAListThroughTheSaveDialog() {
        Harness h;
        MainWindow& w = h.Start({h.FourStateList()});
        w.findChild<QToolButton*>(QStringLiteral("ModeButton"))->click();
        // The folder of the list, the list itself left unticked by the check button.
        QCOMPARE(h.Model()->rowCount(), 4);
        QCOMPARE(h.Model()->index(2, 0).data().toString(), QStringLiteral("list.sfv"));
        QCOMPARE(w.findChild<QToolButton*>(QStringLiteral("ModeButton"))->text(), T("書"));
        QCOMPARE(w.findChild<QToolButton*>(QStringLiteral("RenameButton"))->text(), T("出"));
        QCOMPARE(h.Text("Label2"), T("選"));
        QVERIFY(w.findChild<QLabel*>(QStringLiteral("BadCounter"))->isHidden());
        QVERIFY(w.findChild<QLabel*>(QStringLiteral("NotingCounter"))->isHidden());
        QCOMPARE(w.ActionOf(h.form.ModeChangeCmd)->text(), T("モード変更（現在：書込モード）"));
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
        QCOMPARE(title, T("出力ファイル名を入力"));
        QCOMPARE(proposed, QString::fromStdString(h.Path("set/set.SFV")));
        // Back in read mode with the new list, verified.
        QCOMPARE(h.form.ListPath, out);
        QCOMPARE(h.Model()->rowCount(), 3);
        QCOMPARE(h.Text("GoodCounter"), QStringLiteral("3"));
        QCOMPARE(h.Text("Status"), T("読み取り終了 new.sfv"));
        QVERIFY(!w.findChild<QLabel*>(QStringLiteral("BadCounter"))->isHidden());
        QCOMPARE(w.ActionOf(h.form.ModeChangeCmd)->text(), T("モード変更（現在：読取モード）"));
        QVERIFY(w.findChild<QMenu*>(QStringLiteral("DubbleAction"))->menuAction()->isEnabled());
    }

    void aDuplicateKeptAtStartEndsTheProgramWithTheSettingsSaved() {
        Harness h;
        h.Write("dup/a.bin", "same content");
        h.Write("dup/copy.bin", "same content");
        const std::string list = h.Write("dup/list.sfv", "a.bin " + Hex("same content") + "\r\n");
        h.window = std::make_unique<MainWindow>(h.form, h.ui);
        // As the program does: the close, asked for before the event loop runs, ends the loop.
        connect(h.window.get(), &MainWindow::Closed, qApp, &QCoreApplication::quit, Qt::QueuedConnection);
        AnswerBox(T("いいえ(&N)"));
        h.window->Start({list});
        QTimer watchdog;
        connect(&watchdog, &QTimer::timeout, qApp, [] { QCoreApplication::exit(7); });
        watchdog.start(20000);
        QCOMPARE(QApplication::exec(), 0);
        QVERIFY(!h.window->isVisible());
        QVERIFY(QFile::exists(QString::fromStdString(h.Path("dup/copy.bin"))));
        QCOMPARE(h.Saved().Read("Tallyvault", "List Same File Width").value_or(""), std::string("500"));
    }

    void theUsualShortcutsReachTheirCommandsAndCollideWithNone() {
        Harness h;
        const std::string list = h.FourStateList();
        MainWindow& w = h.Start({list});
        QMap<QKeySequence, QStringList> owners;
        for (QAction* a : w.findChildren<QAction*>())
            for (const QKeySequence& k : a->shortcuts())
                owners[k] << a->text();
        for (auto it = owners.cbegin(); it != owners.cend(); ++it)
            QVERIFY2(it.value().size() == 1, qPrintable(it.key().toString() + QLatin1Char(' ') + it.value().join(',')));
        for (const char* key : {"Ctrl+O", "F5", "F1", "Ctrl+Q", "Alt+F4", "Ctrl+M"})
            QVERIFY2(owners.contains(QKeySequence(QString::fromLatin1(key))), key);
        w.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&w));

        bool dialogSeen = false;
        QTimer::singleShot(0, [&] {
            for (QWidget* top : QApplication::topLevelWidgets())
                if (auto* d = qobject_cast<QFileDialog*>(top); d && d->isVisible()) dialogSeen = true, d->reject();
        });
        QTest::keyClick(&w, Qt::Key_O, Qt::ControlModifier);
        QVERIFY(dialogSeen);
        // F5 reads the list again: a row added to it shows.
        h.Write("set/list.sfv", "good.bin " + Hex("good content") + "\r\nnew.bin " + Hex("x") + "\r\n");
        w.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        QTest::keyClick(&w, Qt::Key_F5);
        QCOMPARE(Shown(h.Model()), (QStringList{QStringLiteral("good.bin"), QStringLiteral("new.bin")}));
        // F1: no read-me beside the test's program, so the status says so.
        QTest::keyClick(&w, Qt::Key_F1);
        QCOMPARE(h.Text("Status"), T("\"Tallyvault.txt\"がインストールフォルダに有りません"));
        QSignalSpy closed(&w, &MainWindow::Closed);
        QTest::keyClick(&w, Qt::Key_Q, Qt::ControlModifier);
        QCOMPARE(closed.count(), 1);
        QVERIFY(!w.isVisible());
    }

    void headerSortAndFilterChangeTheViewOnly() {
        Harness h;
        MainWindow& w = h.Start({h.FourStateList()});
        QHeaderView* header = w.List()->header();
        auto click = [header](int section) {
            QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                              QPoint(header->sectionViewportPosition(section) + 5, header->height() / 2));
        };
        const QStringList byName{"bad.bin", "gone.bin", "good.bin", "moved.bin"};
        QStringList reversed = byName;
        std::reverse(reversed.begin(), reversed.end());
        const struct {
            int Column;
            Qt::SortOrder Order;
            QStringList Names;
        } cases[] = {
            {0, Qt::AscendingOrder, byName},
            {0, Qt::DescendingOrder, reversed},
            // Same File sorts by mark: ○, ！, ×, －.
            {3, Qt::AscendingOrder, {"good.bin", "moved.bin", "bad.bin", "gone.bin"}},
            {3, Qt::DescendingOrder, {"gone.bin", "bad.bin", "moved.bin", "good.bin"}},
        };
        for (const auto& c : cases) {
            click(c.Column);
            QCOMPARE(header->sortIndicatorSection(), c.Column);
            QCOMPARE(header->sortIndicatorOrder(), c.Order);
            QCOMPARE(Shown(h.Model()), c.Names);
        }
        for (Qt::SortOrder order : {Qt::AscendingOrder, Qt::DescendingOrder}) {
            header->setSortIndicator(2, order);
            QStringList crcs = Shown(h.Model(), 2), sorted = crcs;
            std::sort(sorted.begin(), sorted.end());
            if (order == Qt::DescendingOrder) std::reverse(sorted.begin(), sorted.end());
            QCOMPARE(crcs, sorted);
        }

        // Name descending and only the rows that are not ○; a re-read keeps both.
        header->setSortIndicator(0, Qt::DescendingOrder);
        w.OnlyUnmatchedAction()->trigger();
        const QStringList unmatched{"moved.bin", "gone.bin", "bad.bin"};
        QCOMPARE(Shown(h.Model()), unmatched);
        w.findChild<QLabel*>(QStringLiteral("Status"))->setFocus();
        w.Run([&h] { h.form.StatusClick(); });
        QCOMPARE(Shown(h.Model()), unmatched);

        // The logic's rows keep their order; a tick and a selection on the view land on the same row.
        std::vector<std::string> logic;
        for (const TListItem& item : h.form.CrcList.Items())
            logic.push_back(item.Caption());
        QCOMPARE(logic, (std::vector<std::string>{"bad.bin", "gone.bin", "good.bin", "moved.bin"}));
        QVERIFY(h.Model()->setData(h.Model()->index(1, 0), Qt::Checked, Qt::CheckStateRole));
        QVERIFY(h.form.CrcList.Checked(1));
        w.List()->setCurrentIndex(h.Model()->index(2, 0));
        QCOMPARE(h.form.CrcList.Selected(), 0);
        // The check button's cycle works on the logic's rows as without the view's order.
        w.findChild<QToolButton*>(QStringLiteral("CheckButton"))->click();
        std::vector<bool> ticks;
        for (int r = 0; r < h.form.CrcList.Count(); ++r)
            ticks.push_back(h.form.CrcList.Checked(r));
        QCOMPARE(ticks, (std::vector<bool>{true, true, false, false}));
        w.OnlyUnmatchedAction()->trigger();
        QCOMPARE(Shown(h.Model()), reversed);
        QCOMPARE(h.Model()->index(3, 0).data(Qt::CheckStateRole).toInt(), int(Qt::Checked));
    }

    // A language chosen in the option menu redraws the whole window at once and is kept in the settings.
    void aLanguageChosenAppliesAtOnce() {
        const std::string before = ShownLanguage();
        Harness h;
        MainWindow& w = h.Start({h.FourStateList()});
        auto* file = w.findChild<QMenu*>(QStringLiteral("File1"));
        auto* check = w.findChild<QToolButton*>(QStringLiteral("CheckButton"));
        const struct {
            const TMenuItem& Item;
            QString File, Check, Status, Unlisted;
        } steps[] = {
            {h.form.LanguageEn, QStringLiteral("&File"), QStringLiteral("Tick"), QStringLiteral("Read list.sfv"),
             QStringLiteral("Show &unlisted files")},
            {h.form.LanguageJa, QStringLiteral("ファイル(&F)"), QStringLiteral("選"),
             QStringLiteral("読み取り終了 list.sfv"), QStringLiteral("リストにないファイルを表示(&U)")},
        };
        for (const auto& s : steps) {
            w.ActionOf(s.Item)->trigger();
            QCOMPARE(file->title(), s.File);
            QCOMPARE(check->text(), s.Check);
            QCOMPARE(h.Text("Status"), s.Status);
            QCOMPARE(w.ActionOf(h.form.UnlistedCmd)->text(), s.Unlisted);
            QVERIFY(w.ActionOf(s.Item)->isChecked());
            // The buttons never overlap, however long their captions.
            const auto buttons = w.findChild<QWidget*>(QStringLiteral("Panel2"))->findChildren<QToolButton*>();
            for (const QToolButton* a : buttons)
                for (const QToolButton* b : buttons)
                    QVERIFY(a == b || !a->geometry().intersects(b->geometry()));
        }
        w.ActionOf(h.form.LanguageEn)->trigger();
        w.close();
        QCOMPARE(h.Saved().Read("Tallyvault", "Language").value_or(""), std::string("en"));
        UseLanguage(before);
    }

    // Qt's own texts follow the shown language: Japanese from its catalogue, English its own; a change of
    // language takes them along.
    void qtsOwnTextsFollowTheLanguage() {
        const std::string before = ShownLanguage();
        for (const char* code : {"ja", "en"}) {
            UseLanguage(code);
            QVERIFY(InstallQtTranslations());
            QDialogButtonBox box(QDialogButtonBox::Cancel | QDialogButtonBox::Open);
            const bool ja = ShownLanguage() == "ja";
            QCOMPARE(box.button(QDialogButtonBox::Cancel)->text(),
                     ja ? QStringLiteral("キャンセル") : QStringLiteral("Cancel"));
            QCOMPARE(box.button(QDialogButtonBox::Open)->text(), ja ? QStringLiteral("開く") : QStringLiteral("Open"));
        }
        UseLanguage(before);
        InstallQtTranslations();
    }

    void textFilesAndAddressesOpenWithWhatTheDesktopHas() {
        const QString file = QStringLiteral("/tmp/some list.sfv");
        const struct {
            std::vector<std::pair<const char*, const char*>> Programs;
            QString Visual, Editor;
            const char* Program; // nullptr: nothing can open it
            QStringList Arguments;
        } cases[] = {
            {{{"xdg-mime", "org.example.Editor.desktop"}, {"xdg-open", ""}, {"gedit", ""}},
             "vi",
             "",
             "xdg-open",
             {file}},
            {{{"xdg-mime", ""}, {"x-terminal-emulator", ""}, {"vi", ""}, {"gedit", ""}},
             "",
             "vi -R",
             "x-terminal-emulator",
             {"-e", "vi", "-R", file}},
            // An editor that is not installed, or no terminal for it: a known editor.
            {{{"x-terminal-emulator", ""}, {"mousepad", ""}}, "nano", "", "mousepad", {file}},
            {{{"vi", ""}, {"kate", ""}}, "vi", "", "kate", {file}},
            {{}, "vi", "", nullptr, {}},
        };
        for (const auto& c : cases) {
            FakePath path(c.Programs);
            const Launch l = TextEditorLaunch(file, [&c](const char* name) {
                return QByteArray(name) == "VISUAL" ? c.Visual : QByteArray(name) == "EDITOR" ? c.Editor : QString();
            });
            QCOMPARE(l.Program, c.Program ? path.Of(c.Program) : QString());
            QCOMPARE(l.Arguments, c.Arguments);
        }
        const QUrl home(QStringLiteral("https://example.org/"));
        const struct {
            std::vector<std::pair<const char*, const char*>> Programs;
            QString Browser;
            const char* Program;
            QStringList Arguments;
        } browsers[] = {
            {{{"firefox", ""}, {"xdg-open", ""}},
             "missing:firefox --new-window",
             "firefox",
             {"--new-window", home.toString()}},
            {{{"xdg-mime", "browser.desktop"}, {"xdg-open", ""}, {"firefox", ""}}, "", "xdg-open", {home.toString()}},
            {{{"xdg-mime", ""}, {"xdg-open", ""}, {"x-www-browser", ""}}, "", "x-www-browser", {home.toString()}},
            {{{"xdg-mime", ""}, {"xdg-open", ""}}, "", nullptr, {}},
        };
        for (const auto& c : browsers) {
            FakePath path(c.Programs);
            const Launch l = BrowserLaunch(
                home, [&c](const char* name) { return QByteArray(name) == "BROWSER" ? c.Browser : QString(); });
            QCOMPARE(l.Program, c.Program ? path.Of(c.Program) : QString());
            QCOMPARE(l.Arguments, c.Arguments);
        }
    }

    // While another list loads, the rows never show its names beside the previous list's marks.
    void aLoadShowsNoRowsUntilItsEntriesAreChecked() {
        Harness h;
        MainWindow& w = h.Start({h.FourStateList()});
        QCOMPARE(h.Model()->rowCount(), 4);
        h.Write("dup/a.bin", "same content");
        h.Write("dup/copy.bin", "same content");
        h.form.ListPath = h.Write("dup/list.sfv", "a.bin " + Hex("same content") + "\r\n");
        int rowsWhileAsked = -1;
        QTimer poll;
        connect(&poll, &QTimer::timeout, [&] {
            for (QWidget* top : QApplication::topLevelWidgets())
                if (auto* box = qobject_cast<QMessageBox*>(top); box && box->isVisible())
                    for (QAbstractButton* b : box->buttons())
                        if (b->text() == T("はい(&Y)")) {
                            rowsWhileAsked = h.Model()->rowCount();
                            b->click();
                        }
        });
        poll.start(10);
        w.Run([&] { h.form.StatusClick(); });
        poll.stop();
        QCOMPARE(rowsWhileAsked, 0);
        QCOMPARE(Shown(h.Model()), QStringList{QStringLiteral("a.bin")});
        QCOMPARE(qvariant_cast<QIcon>(h.Model()->index(0, 0).data(Qt::DecorationRole)).cacheKey(),
                 StateIcon(0).cacheKey());
        QCOMPARE(h.Text("TotalCounter"), QStringLiteral("1"));
        QCOMPARE(h.Text("GoodCounter"), QStringLiteral("1"));
    }

    // While the search walks, the table is in the walk's order: every row still shows its own entry's
    // name, mark and tick.
    void aSearchShowsEachRowWithItsOwnMark() {
        Harness h;
        const std::string big(std::size_t{4} << 20, 'w');
        h.Write("elsewhere/big.bin", big);
        MainWindow& w = h.Start({h.FourStateList()});
        QCOMPARE(h.Ticks(), (std::vector<bool>{false, false, false, true}));
        h.form.FixedComplementFolder = h.Path("elsewhere");
        h.form.FixFolder.SetChecked(true);
        h.form.SlowDownReads(60);
        const QMap<QString, std::pair<int, bool>> own{{"bad.bin", {2, false}},
                                                      {"gone.bin", {3, false}},
                                                      {"good.bin", {0, false}},
                                                      {"moved.bin", {1, true}}};
        int looks = 0;
        QStringList wrong;
        QTimer poll;
        connect(&poll, &QTimer::timeout, [&] {
            if (!h.form.SearchActive) return;
            ++looks;
            for (int r = 0; r < h.Model()->rowCount(); ++r) {
                const QString name = h.Model()->index(r, 0).data().toString();
                const QIcon icon = qvariant_cast<QIcon>(h.Model()->index(r, 0).data(Qt::DecorationRole));
                const auto [mark, ticked] = own.value(name, {-1, false});
                if (mark < 0 || icon.cacheKey() != StateIcon(mark).cacheKey() || h.Ticked(r) != ticked) wrong << name;
            }
        });
        poll.start(20);
        w.Run([&] { h.form.SearchButtonClick(); });
        poll.stop();
        QVERIFY(looks > 0);
        QVERIFY2(wrong.isEmpty(), qPrintable(wrong.join(',')));
        QCOMPARE(Shown(h.Model()), QStringList(own.keys()));
    }

    // 終, Ctrl+Q and the title bar's close end a long verification, scan or search: the window closes
    // with the settings saved, the work is cut short, and no list or file is left changed.
    void closingDuringLongWorkEndsTheWorkAndTheWindow() {
        enum class Way { Button, CtrlQ, TitleBar };
        enum class Work { Verify, Scan, Search };
        const struct {
            Way By;
            Work During;
        } cases[] = {{Way::Button, Work::Verify}, {Way::CtrlQ, Work::Verify}, {Way::TitleBar, Work::Verify},
                     {Way::Button, Work::Scan},   {Way::CtrlQ, Work::Search}};
        const std::string big(std::size_t{8} << 20, 'v');
        for (const auto& c : cases) {
            Harness h;
            const std::string list = h.Write("set/list.sfv", "big.bin " + Hex(big) + "\r\n");
            const std::string listText = "big.bin " + Hex(big) + "\r\n";
            h.Write(c.During == Work::Search ? "elsewhere/big.bin" : c.During == Work::Scan ? "scan/big.bin" : "set/big.bin",
                    big);
            MainWindow& w = h.Start(c.During == Work::Search ? std::vector<std::string>{list}
                                                              : std::vector<std::string>{});
            const QStringList before = FolderNames(h.Path("set"));
            w.activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(&w));
            QSignalSpy closed(&w, &MainWindow::Closed);
            h.form.SlowDownReads(150); // eight blocks: more than a second of work
            QTimer::singleShot(300, &w, [&] {
                if (c.By == Way::Button) w.findChild<QToolButton*>(QStringLiteral("CloseButton"))->click();
                if (c.By == Way::CtrlQ) QTest::keyClick(&w, Qt::Key_Q, Qt::ControlModifier);
                if (c.By == Way::TitleBar) w.close();
            });
            switch (c.During) {
            case Work::Verify:
                h.form.ListPath = list;
                w.Run([&] { h.form.StatusClick(); });
                QCOMPARE(h.form.GoodCount, 0);
                break;
            case Work::Scan:
                w.Run([&] { h.form.ModeButtonClick(); });
                h.form.BaseFolder = h.Path("scan");
                w.Run([&] { h.form.ScanFolder(); });
                QCOMPARE(h.form.EntryCount, 0);
                break;
            case Work::Search:
                QVERIFY(h.form.CrcList.Checked(0));
                h.form.FixedComplementFolder = h.Path("elsewhere");
                h.form.FixFolder.SetChecked(true);
                w.Run([&] { h.form.SearchButtonClick(); });
                QCOMPARE(h.form.SameFileCount, 0);
                QVERIFY(QFile::exists(QString::fromStdString(h.Path("elsewhere/big.bin"))));
                break;
            }
            QCOMPARE(closed.count(), 1);
            QVERIFY(!w.isVisible());
            QVERIFY(!h.form.CommandRunning());
            QCOMPARE(QString::fromStdString(ReadFile(list)), QString::fromStdString(listText));
            QCOMPARE(FolderNames(h.Path("set")), before);
            QCOMPARE(h.Saved().Read("Window Position", "Whdth").value_or(""), std::to_string(w.width()));
        }
    }

    // In create mode with every row ticked, the list written over its old self does not list that.
    void aListWrittenOverItselfIsNoEntryOfItself() {
        Harness h;
        h.Write("create/a.bin", "a");
        h.Write("create/create.b3", "the old list");
        MainWindow& w = h.Start();
        w.ActionOf(h.form.ListKinds[static_cast<std::size_t>(HashAlgorithm::Blake3)])->trigger();
        w.Run([&] { h.form.ModeButtonClick(); });
        h.form.BaseFolder = h.Path("create");
        w.Run([&] { h.form.ScanFolder(); });
        w.ActionOf(h.form.AllOn)->trigger();
        QCOMPARE(h.Ticks(), (std::vector<bool>{true, true}));
        // The name the dialog proposes for the folder is the old list's.
        const std::string out = h.Path("create/create.b3");
        QString proposed;
        OnFileDialog([&](QFileDialog* dialog) {
            proposed = dialog->selectedFiles().value(0);
            QMetaObject::invokeMethod(dialog, "accept", Qt::QueuedConnection);
        });
        BoxAnswerer replace(QMessageBox::Yes); // the dialog's question about the file there
        w.ActionOf(h.form.MakeCrcCmd)->trigger();
        QCOMPARE(proposed, QString::fromStdString(out));
        QCOMPARE(replace.seen.size(), 1);
        QCOMPARE(h.form.ListPath, out);
        QVERIFY(!h.form.IsCreateMode);
        QCOMPARE(Shown(h.Model()), QStringList{QStringLiteral("a.bin")});
        QCOMPARE(h.form.GoodCount, 1);
        QVERIFY(ReadFile(out).find("create.b3") == std::string::npos);
    }

    // The kind picked in the save dialog puts its own extension on the name, and the list is of that kind.
    void theSaveDialogsKindDecidesTheExtension() {
        const struct {
            const char* Filter; // the start of the filter's text
            const char* Typed;  // a name typed after picking it; nullptr keeps the proposed one
            const char* Shown;  // the name the dialog shows after the pick
            const char* Saved;
            HashAlgorithm Kind;
        } cases[] = {
            {"MD5 File", nullptr, "set.md5", "set.md5", HashAlgorithm::Md5},
            {"BLAKE3 File", nullptr, "set.b3", "set.b3", HashAlgorithm::Blake3},
            {"SHA-256 File", "mine", "set.sha256", "mine.sha256", HashAlgorithm::Sha256},
            {"SFV or CSV File", nullptr, "set.SFV", "set.SFV", HashAlgorithm::Crc32},
        };
        for (const auto& c : cases) {
            Harness h;
            h.Write("set/a.bin", "a");
            h.Write("set/old.sfv", "a list the check button leaves unticked\r\n");
            MainWindow& w = h.Start();
            w.Run([&] { h.form.ModeButtonClick(); });
            h.form.BaseFolder = h.Path("set");
            w.Run([&] { h.form.ScanFolder(); });
            w.findChild<QToolButton*>(QStringLiteral("CheckButton"))->click();
            QString shown;
            OnFileDialog([&](QFileDialog* dialog) {
                auto* kinds = dialog->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
                auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
                for (int i = 0; kinds && i < kinds->count(); ++i)
                    if (kinds->itemText(i).startsWith(QString::fromUtf8(c.Filter))) {
                        kinds->setCurrentIndex(i);
                        emit kinds->activated(i);
                        emit kinds->textActivated(kinds->itemText(i));
                    }
                if (name) shown = name->text();
                if (c.Typed && name) name->setText(QString::fromUtf8(c.Typed));
                QMetaObject::invokeMethod(dialog, "accept", Qt::QueuedConnection);
            });
            w.ActionOf(h.form.MakeCrcCmd)->trigger();
            QCOMPARE(shown, QString::fromUtf8(c.Shown));
            QCOMPARE(h.form.ListPath, h.Path(std::string("set/") + c.Saved));
            QVERIFY(!h.form.IsCreateMode);
            QCOMPARE(h.form.ListAlgorithm, c.Kind);
            QCOMPARE(h.form.GoodCount, 1);
        }
    }

    void theCountersFollowEveryTickCommand() {
        Harness h;
        h.Write("set/a.bin", "a");
        h.Write("set/b.bin", "b");
        MainWindow& w = h.Start();
        w.Run([&] { h.form.ModeButtonClick(); });
        h.form.BaseFolder = h.Path("set");
        w.Run([&] { h.form.ScanFolder(); });
        w.ActionOf(h.form.AllOff)->trigger();
        w.findChild<QToolButton*>(QStringLiteral("RenameButton"))->click(); // 出 with nothing ticked
        QCOMPARE(h.Text("Status"), T("ファイルがひとつもチェックされていません"));
        QCOMPARE(h.Text("GoodCounter"), QStringLiteral("0"));
        w.ActionOf(h.form.AllOn)->trigger();
        QCOMPARE(h.Text("GoodCounter"), QStringLiteral("2"));
        QCOMPARE(h.Text("Status"), T("Tallyvault V1.32 CRCファイル作成モード"));
        QVERIFY(h.Model()->setData(h.Model()->index(0, 0), Qt::Unchecked, Qt::CheckStateRole));
        QCOMPARE(h.Text("GoodCounter"), QStringLiteral("1"));
        w.ActionOf(h.form.ON0)->trigger(); // unticks the ○ rows
        QCOMPARE(h.Text("GoodCounter"), QStringLiteral("0"));
    }

    // The open dialog starts on a filter that shows every kind of list, the shown list's kind first.
    void theOpenDialogShowsEveryKindOfList() {
        Harness h;
        h.Write("sums/a.bin", "a");
        const std::string sums =
            h.Write("sums/SHA256SUMS", "ca978112ca1bbdcafac231b39a23dc4da786eff8147c4e72b9807785afee48bb  a.bin\n");
        MainWindow& w = h.Start({sums});
        QCOMPARE(h.form.GoodCount, 1);
        QString selected;
        QStringList filters;
        OnFileDialog([&](QFileDialog* dialog) {
            selected = dialog->selectedNameFilter();
            filters = dialog->nameFilters();
            dialog->reject();
        });
        w.ActionOf(h.form.CrcOpenCmd)->trigger();
        QVERIFY(!filters.isEmpty());
        QVERIFY2(filters.front().startsWith(selected + QStringLiteral(" (")), qPrintable(selected));
        const QStringList patterns =
            filters.front().section(QLatin1Char('('), -1).chopped(1).split(QLatin1Char(' '));
        for (const char* name : {"SHA256SUMS", "x.md5", "x.SFV", "x.crc", "x.csv", "x.TXT", "x.b3", "MD5SUMS.txt"})
            QVERIFY2(QDir::match(patterns, QString::fromLatin1(name)), name);
        QVERIFY(!QDir::match(patterns, QStringLiteral("photo.jpg")));
        QVERIFY2(filters.value(1).startsWith(QStringLiteral("Digest List")), qPrintable(filters.join('|')));
        QVERIFY(QDir::match(patterns.front(), QStringLiteral("x.md5")));
    }

    void everyToolButtonShowsItsFocus() {
        Harness h;
        MainWindow& w = h.Start();
        w.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        for (const char* name :
             {"OpenButton", "CheckButton", "RenameButton", "SearchButton", "ModeButton", "CloseButton"}) {
            auto* button = w.findChild<QToolButton*>(QString::fromLatin1(name));
            w.List()->setFocus(Qt::TabFocusReason);
            QApplication::processEvents();
            const QImage without = button->grab().toImage();
            button->setFocus(Qt::TabFocusReason);
            QApplication::processEvents();
            QVERIFY2(button->hasFocus(), name);
            QVERIFY2(button->grab().toImage() != without, name);
        }
    }

    // Every item of the option menu and its submenus has a key of its own there.
    void everyOptionItemHasAMnemonic() {
        Harness h;
        MainWindow& w = h.Start();
        std::vector<QMenu*> menus{w.findChild<QMenu*>(QStringLiteral("option"))};
        for (std::size_t m = 0; m < menus.size(); ++m) {
            QSet<QChar> keys;
            for (QAction* a : menus[m]->actions()) {
                if (a->isSeparator()) continue;
                if (a->menu()) menus.push_back(a->menu());
                const qsizetype at = a->text().indexOf(QLatin1Char('&'));
                QVERIFY2(at >= 0 && at + 1 < a->text().size(), qPrintable(a->text()));
                const QChar key = a->text().at(at + 1).toUpper();
                QVERIFY2(!keys.contains(key), qPrintable(a->text()));
                keys.insert(key);
            }
        }
        QVERIFY(menus.size() >= 3);
    }

    void fixOnAPar2SetRebuildsTheDamagedFileAndShowsItWhole() {
        Harness h;
        std::string a(30000, '\0'), b(50000, '\0');
        std::uint32_t x = 12345;
        for (std::string* s : {&a, &b})
            for (char& c : *s) {
                x = x * 1103515245u + 12345u;
                c = static_cast<char>(x >> 24);
            }
        h.Write("set/a.bin", a);
        h.Write("set/b.bin", b);
        Par2CreateOptions options;
        options.Redundancy = 20;
        options.SliceSize = 1024;
        CreatePar2Set(RealFs(), h.Path("set"), h.Path("set/set.par2"), options);
        std::string damaged = b;
        for (std::size_t i = 2000; i < 4000; ++i)
            damaged[i] = static_cast<char>(~damaged[i]);
        h.Write("set/b.bin", damaged);
        h.Start({h.Path("set/set.par2")});
        QCOMPARE(h.Text("BadCounter"), QStringLiteral("1"));
        // Every box the fix shows is read and closed.
        QStringList boxes;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, &poll, [&boxes] {
            for (QWidget* top : QApplication::topLevelWidgets())
                if (auto* box = qobject_cast<QMessageBox*>(top); box && box->isVisible() && !box->buttons().isEmpty()) {
                    boxes << box->text();
                    box->buttons().first()->click();
                }
        });
        poll.start(20);
        h.window->findChild<QToolButton*>(QStringLiteral("RenameButton"))->click();
        poll.stop();
        QFile rebuilt(QString::fromStdString(h.Path("set/b.bin"))), kept(QString::fromStdString(h.Path("set/b.bin.1")));
        QVERIFY(rebuilt.open(QIODevice::ReadOnly) && kept.open(QIODevice::ReadOnly));
        QVERIFY(rebuilt.readAll().toStdString() == b);
        QVERIFY(kept.readAll().toStdString() == damaged);
        QCOMPARE(h.Text("GoodCounter"), QStringLiteral("2"));
        QCOMPARE(h.Text("BadCounter"), QStringLiteral("0"));
        QVERIFY(!boxes.isEmpty());
        QCOMPARE(boxes.last(), T(texts::RebuiltHead + std::string("1") + texts::RebuiltTail));
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
