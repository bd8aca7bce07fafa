// The main menu and the list's pop-up menu, built from TForm1's menu items.
#include "MainWindow.h"

#include "QtUi.h"
#include "app/MenuItems.h"

#include <QAction>
#include <QActionGroup>
#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>

namespace tv::qt {

namespace {
QString Q(const std::string& s) {
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

// The usual desktop keys beside the ones the menu items carry, which stay the first shown.
// Fixed keys, not the platform's standard ones, which may bring further keys that collide.
void AddShortcut(QAction* action, const QKeySequence& key) {
    QList<QKeySequence> keys = action->shortcuts();
    if (!keys.contains(key)) keys << key;
    action->setShortcuts(keys);
}
} // namespace

QAction* MainWindow::AddItem(QMenu* menu, TMenuItem& item, Click click, std::function<void()> handler,
                             bool evenWhileRunning) {
    QAction* action = menu->addAction(T(item.Caption()));
    // A tick is shown for items that carry one, even where the click does not set it (FixFolder).
    action->setCheckable(click != Click::Plain || &item == &form_.FixFolder);
    if (!item.ShortCut().empty()) action->setShortcut(QKeySequence(Q(item.ShortCut())));
    connect(action, &QAction::triggered, this, [this, &item, click, handler = std::move(handler), evenWhileRunning] {
        Run([this, &item, click, &handler] { form_.ClickMenuItem(item, click, handler); }, false, evenWhileRunning);
    });
    menus_.push_back({&item, action, item.Changes() + 1});
    return action;
}

void MainWindow::BuildMenus() {
    QMenuBar* bar = menuBar();
    TForm1& f = form_;
    // A menu titled by a Japanese text, drawn again when the language changes.
    const auto titled = [this](QMenu* menu, const char* japanese) {
        menu->setTitle(T(japanese));
        menuTitles_.push_back({menu, japanese});
        return menu;
    };

    QMenu* file = titled(bar->addMenu(QString()), "ファイル(&F)");
    file->setObjectName(QStringLiteral("File1"));
    AddShortcut(AddItem(file, f.CrcOpenCmd, Click::Plain, [&f] { f.CrcOpenCmdClick(); }),
                QKeySequence(Qt::CTRL | Qt::Key_O));
    AddItem(file, f.FileChangeCmd, Click::Plain, [&f] { f.FileChangeCmdClick(); });
    // Like the search button, the menu item stops a running search.
    AddItem(
        file, f.Complement, Click::Plain, [&f] { f.ComplementClick(); }, true);
    AddItem(file, f.MakeRequestCmd, Click::Plain, [&f] { f.MakeRequestCmdClick(); });
    AddItem(file, f.UnlistedCmd, Click::Plain, [&f] { f.UnlistedCmdClick(); });
    AddItem(file, f.AddNewFilesCmd, Click::Plain, [&f] { f.AddNewFilesCmdClick(); });
    file->addSeparator();
    AddItem(file, f.FolderOpenCmd, Click::Plain, [&f] { f.FolderOpenCmdClick(); });
    AddItem(file, f.MakeCrcCmd, Click::Plain, [&f] { f.MakeCrcCmdClick(); });
    file->addSeparator();
    QAction* exit = file->addAction(T(f.Exit1.Caption()));
    exit->setShortcut(QKeySequence(Q(f.Exit1.ShortCut())));
    AddShortcut(exit, QKeySequence(Qt::CTRL | Qt::Key_Q));
    connect(exit, &QAction::triggered, this, &QWidget::close);
    menus_.push_back({&f.Exit1, exit, f.Exit1.Changes() + 1});

    QMenu* check = titled(bar->addMenu(QString()), "チェック(&K)");
    check->setObjectName(QStringLiteral("check"));
    AddItem(check, f.AllOn, Click::Plain, [&f] { f.AllOnClick(); });
    AddItem(check, f.AllOff, Click::Plain, [&f] { f.AllOffClick(); });
    check->addSeparator();
    for (TMenuItem* on : {&f.ON0, &f.ON1, &f.ON2, &f.ON3})
        AddItem(check, *on, Click::AutoCheck, [&f] { f.ON0Click(); });
    check->addSeparator();
    // The view's own filter: no item of the logic, so nothing it does or writes depends on it.
    onlyUnmatched_ = check->addAction(T(OnlyUnmatchedCaption));
    onlyUnmatched_->setObjectName(QStringLiteral("OnlyUnmatched"));
    onlyUnmatched_->setCheckable(true);
    connect(onlyUnmatched_, &QAction::toggled, this, [this](bool on) { ShowOnlyUnmatched(on); });

    QMenu* option = titled(bar->addMenu(QString()), "オプション(&O)");
    option->setObjectName(QStringLiteral("option"));
    AddOptionItems(f, [&](TMenuItem& item, Click click, std::function<void()> command, bool evenWhileRunning) {
        AddItem(option, item, click, std::move(command), evenWhileRunning);
    });
    QMenu* dubble = titled(option->addMenu(QString()), "重複ファイルの処置(&D)");
    dubble->setObjectName(QStringLiteral("DubbleAction"));
    // The submenu as a whole is disabled in create mode.
    menus_.push_back({&f.DubbleAction, dubble->menuAction(), f.DubbleAction.Changes() + 1});
    auto* group = new QActionGroup(this);
    group->setExclusionPolicy(QActionGroup::ExclusionPolicy::ExclusiveOptional);
    for (TMenuItem* radio : {&f.DblNop, &f.DblInq, &f.DblDel})
        group->addAction(AddItem(dubble, *radio, Click::Radio, {}, true));
    dubble->addSeparator();
    AddItem(dubble, f.TashUse, Click::AutoCheck, {}, true);
    QMenu* kinds = titled(option->addMenu(QString()), f.ListKindMenu.Caption().c_str());
    kinds->setObjectName(QStringLiteral("ListKindMenu"));
    auto* kindGroup = new QActionGroup(this);
    kindGroup->setExclusionPolicy(QActionGroup::ExclusionPolicy::Exclusive);
    AddListKindItems(f, [&](TMenuItem& item, Click click, std::function<void()> command, bool evenWhileRunning) {
        if (&item == &f.ListKindPar2 || &item == &f.WriteBsdTags) kinds->addSeparator();
        QAction* action = AddItem(kinds, item, click, std::move(command), evenWhileRunning);
        if (click == Click::Radio) kindGroup->addAction(action);
    });
    QMenu* language = titled(option->addMenu(QString()), f.LanguageMenu.Caption().c_str());
    language->setObjectName(QStringLiteral("LanguageMenu"));
    auto* languageGroup = new QActionGroup(this);
    languageGroup->setExclusionPolicy(QActionGroup::ExclusionPolicy::Exclusive);
    AddLanguageItems(f, [&](TMenuItem& item, Click click, std::function<void()> command, bool evenWhileRunning) {
        languageGroup->addAction(AddItem(language, item, click, std::move(command), evenWhileRunning));
    });

    QMenu* workers = titled(option->addMenu(QString()), f.WorkersMenu.Caption().c_str());
    workers->setObjectName(QStringLiteral("WorkersMenu"));
    auto* threadGroup = new QActionGroup(this);
    auto* diskGroup = new QActionGroup(this);
    AddWorkerItems(f, [&](TMenuItem& item, Click click, std::function<void()> command, bool evenWhileRunning) {
        if (&item == &f.DiskChoices[0]) workers->addSeparator();
        QAction* action = AddItem(workers, item, click, std::move(command), evenWhileRunning);
        (&item >= f.DiskChoices && &item < f.DiskChoices + std::size(f.DiskChoices) ? diskGroup : threadGroup)
            ->addAction(action);
    });

    QMenu* tools = titled(bar->addMenu(QString()), "ツール(&T)");
    tools->setObjectName(QStringLiteral("T1"));
    AddItem(tools, f.NoteView, Click::Plain, [&f] { f.NoteViewClick(); });

    QMenu* help = titled(bar->addMenu(QString()), "ヘルプ(&H)");
    help->setObjectName(QStringLiteral("Help1"));
    AddItem(help, f.version, Click::Plain, [&f] { f.versionClick(); });
    AddItem(help, f.Homepage1, Click::Plain, [&f] { f.Homepage1Click(); });
    AddShortcut(AddItem(help, f.ReadMe, Click::Plain, [&f] { f.ReadMeClick(); }), QKeySequence(Qt::Key_F1));

    // F5 re-reads the list as a click on the status bar does; it has no menu item to carry it.
    auto* reread = new QAction(this);
    reread->setObjectName(QStringLiteral("Reread"));
    AddShortcut(reread, QKeySequence(Qt::Key_F5));
    connect(reread, &QAction::triggered, this, [this] { Run([this] { form_.StatusClick(); }); });
    addAction(reread);

    popup_ = new QMenu(this);
    popup_->setObjectName(QStringLiteral("PopupMenu1"));
    AddItem(popup_, f.CopyName, Click::Plain, [&f] { f.CopyNameClick(); });
    AddItem(popup_, f.CopyCRC, Click::Plain, [&f] { f.CopyCRCClick(); });
}

} // namespace tv::qt
