#include "MainWindow.h"

#include "CrcListModel.h"
#include "Icons.h"
#include "LauncherProgress.h"
#include "QtUi.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QCursor>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QFrame>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <QPainter>
#include <QProgressBar>
#include <QStatusBar>
#include <QToolButton>
#include <QTreeView>
#include <QUrl>
#include <QVBoxLayout>
#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace tv::qt {

namespace {

// The interface font of the design, or an installed Japanese font in its place.
QFont InterfaceFont(bool fixedPitch) {
    // Names of fonts, not texts: untranslated.
    QFont f;
    if (fixedPitch)
        f.setFamilies({QStringLiteral("ＭＳ ゴシック"), QStringLiteral("MS Gothic"), // untranslated
                       QStringLiteral("IPAGothic"), QStringLiteral("IPAゴシック"), QStringLiteral("Monospace")});
    else
        f.setFamilies({QStringLiteral("ＭＳ Ｐゴシック"), QStringLiteral("MS PGothic"), // untranslated
                       QStringLiteral("IPAPGothic"), QStringLiteral("IPA Pゴシック"), QStringLiteral("IPAGothic")});
    f.setFixedPitch(fixedPitch);
    f.setPixelSize(12);
    return f;
}

// The status bar's one text; a click on it re-reads the list.
class ClickLabel : public QLabel {
public:
    using QLabel::QLabel;
    std::function<void()> OnClick;

protected:
    void mousePressEvent(QMouseEvent* event) override {
        QLabel::mousePressEvent(event);
        if (OnClick) OnClick();
    }
};

// A tool button that shows when it has the keyboard focus, flat or not: the style leaves a flat one
// looking the same with and without.
class ToolButton : public QToolButton {
public:
    using QToolButton::QToolButton;

protected:
    void paintEvent(QPaintEvent* event) override {
        QToolButton::paintEvent(event);
        if (!hasFocus()) return;
        // The dotted frame of a focused control, in the text's colour: the style's own frame is too
        // faint to see on the window's teal.
        QPainter painter(this);
        painter.setPen(QPen(palette().color(QPalette::ButtonText), 1, Qt::DotLine));
        painter.drawRect(rect().adjusted(2, 2, -3, -3));
    }
};

// The window's client area in the design's teal.
class ClientArea : public QWidget {
public:
    using QWidget::QWidget;

protected:
    void paintEvent(QPaintEvent*) override { QPainter(this).fillRect(rect(), QColor(0, 128, 128)); }
};

} // namespace

MainWindow::MainWindow(TForm1& form, QtUi& ui, QWidget* parent) : QMainWindow(parent), form_(form), ui_(ui) {
    setObjectName(QStringLiteral("Form1"));
    setWindowIcon(StateIcon(0));
    QApplication::setFont(InterfaceFont(false));
    setFont(InterfaceFont(false));
    setAcceptDrops(true);
    timing_ = std::getenv("TALLYVAULT_TIMING") != nullptr;

    auto* central = new ClientArea(this);
    central->setObjectName(QStringLiteral("Client"));
    auto* top = new QHBoxLayout;
    top->setContentsMargins(7, 5, 7, 5);
    top->setSpacing(6);
    top->addWidget(BuildToolButtons(), 0, Qt::AlignVCenter);
    top->addWidget(BuildCounters(), 1);
    BuildList();
    auto* column = new QVBoxLayout(central);
    column->setContentsMargins(0, 0, 0, 5);
    column->setSpacing(0);
    column->addLayout(top);
    auto* listRow = new QHBoxLayout;
    listRow->setContentsMargins(5, 0, 7, 0);
    listRow->addWidget(list_);
    column->addLayout(listRow, 1);
    setCentralWidget(central);
    BuildStatusBar();
    BuildMenus();

    languageShown_ = LanguageGeneration();
    ui_.Attach(this, [this] { SyncFromForm(); });
    resize(form_.Bounds.Width, form_.Bounds.Height);
    SyncFromForm();
}

MainWindow::~MainWindow() {
    ui_.Attach(nullptr, {});
}

QWidget* MainWindow::BuildToolButtons() {
    auto* panel = new QWidget;
    panel->setObjectName(QStringLiteral("Panel2"));
    panel->setFixedSize(157, 26);
    const struct {
        TControl& Element;
        const char* Name;
        int Left, Width;
        std::function<void()> Handler;
        bool EvenWhileRunning;
    } buttons[] = {
        {form_.OpenButton, "OpenButton", 1, 24, [this] { form_.OpenButtonClick(); }, false},
        {form_.CheckButton, "CheckButton", 27, 24, [this] { form_.CheckButtonClick(); }, false},
        {form_.RenameButton, "RenameButton", 53, 24, [this] { form_.RenameButtonClick(); }, false},
        // The search's own button stops it while it runs.
        {form_.SearchButton, "SearchButton", 79, 24, [this] { form_.SearchButtonClick(); }, true},
        {form_.ModeButton, "ModeButton", 105, 24, [this] { form_.ModeButtonClick(); }, false},
        {form_.CloseButton, "CloseButton", 131, 23, {}, false},
    };
    for (const auto& b : buttons) {
        auto* button = new ToolButton(panel);
        button->setObjectName(QString::fromLatin1(b.Name));
        button->setGeometry(b.Left, 1, b.Width, 24);
        button->setAutoRaise(&b.Element == &form_.OpenButton);
        if (b.Handler)
            connect(button, &QToolButton::clicked, this,
                    [this, h = b.Handler, even = b.EvenWhileRunning] { Run(h, false, even); });
        else
            connect(button, &QToolButton::clicked, this, &QWidget::close);
        toolButtons_.push_back({button, b.Width});
        AddControl(b.Element, button, [this, button](const QString& t) {
            button->setText(t);
            LayOutToolButtons();
        });
    }
    toolPanel_ = panel;
    return panel;
}

void MainWindow::LayOutToolButtons() {
    // Each button keeps its designed width until its caption needs more (a word in place of a character).
    int x = 1;
    for (const auto& [button, designed] : toolButtons_) {
        const int width = std::max(designed, button->fontMetrics().horizontalAdvance(button->text()) + 10);
        button->setGeometry(x, 1, width, 24);
        x += width + 2;
    }
    toolPanel_->setFixedSize(std::max(157, x - 1), 26);
}

QWidget* MainWindow::BuildCounters() {
    auto* panel = new QFrame;
    panel->setObjectName(QStringLiteral("Panel1"));
    panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    panel->setFixedHeight(30);
    panel->setMinimumWidth(260);
    panel->setStyleSheet(QStringLiteral("#Panel1 { background: #008000; border: 1px inset #004000; }"));
    QFont bold = InterfaceFont(false);
    bold.setBold(true);
    bold.setPixelSize(16);
    const struct {
        TControl& Element;
        const char* Name;
        int Left;
        bool Counter;
        const char* Colour;
    } parts[] = {
        {form_.Label1, "Label1", 6, false, "color: #FFFF00;"},
        {form_.TotalCounter, "TotalCounter", 28, true, "background: #00FFFF;"},
        {form_.Label2, "Label2", 70, false, "color: #0000FF;"},
        {form_.GoodCounter, "GoodCounter", 92, true, "background: #00FF00;"},
        {form_.Label3, "Label3", 134, false, "color: #FF0000;"},
        {form_.BadCounter, "BadCounter", 156, true, "background: #00FF00;"},
        {form_.Label4, "Label4", 198, false, "color: #000000;"},
        {form_.NotingCounter, "NotingCounter", 220, true, "background: #00FF00;"},
    };
    for (const auto& p : parts) {
        auto* label = new QLabel(panel);
        label->setObjectName(QString::fromLatin1(p.Name));
        label->setFont(bold);
        if (p.Counter) {
            label->setGeometry(p.Left, 4, 35, 20);
            label->setAlignment(Qt::AlignCenter);
            label->setStyleSheet(QString::fromLatin1(p.Colour) +
                                 QStringLiteral(" color: #000080; border: 1px outset #C0C0C0;"));
        } else {
            label->setGeometry(p.Left, 4, 20, 20);
            label->setAlignment(Qt::AlignCenter);
            label->setStyleSheet(QString::fromLatin1(p.Colour));
        }
        AddControl(p.Element, label, [this, label](const QString& t) {
            label->setText(t);
            LayOutCounters();
        });
        counterParts_.push_back(label);
    }
    return panel;
}

void MainWindow::LayOutCounters() {
    // Each label with its counter: a counter keeps its designed width of 35 until its number needs more.
    int x = 6;
    for (std::size_t i = 0; i + 1 < counterParts_.size(); i += 2) {
        QLabel* label = counterParts_[i];
        QLabel* counter = counterParts_[i + 1];
        const int labelWidth = std::max(20, label->fontMetrics().horizontalAdvance(label->text()) + 4);
        label->setGeometry(x, 4, labelWidth, 20);
        x += labelWidth + 2;
        const int width = std::max(35, counter->fontMetrics().horizontalAdvance(counter->text()) + 6);
        counter->setGeometry(x, 4, width, 20);
        x += width + 7;
    }
}

void MainWindow::BuildList() {
    model_ = new CrcListModel(
        form_.CrcList, [this] { return !form_.CommandRunning(); }, this);
    list_ = new QTreeView;
    list_->setObjectName(QStringLiteral("CrcList"));
    list_->setModel(model_);
    list_->setRootIsDecorated(false);
    list_->setItemsExpandable(false);
    list_->setUniformRowHeights(true);
    list_->setAllColumnsShowFocus(true);
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list_->setMouseTracking(true); // hot tracking
    list_->setIconSize(QSize(16, 16));
    QHeaderView* header = list_->header();
    header->setStretchLastSection(false);
    header->setSectionsMovable(false);
    // A click on a header sorts the view by that column, a second one reverses it; until the first
    // click the rows show in the list's own order.
    header->setSectionsClickable(true);
    header->setSortIndicatorShown(true);
    header->setSortIndicator(-1, Qt::AscendingOrder);
    connect(header, &QHeaderView::sortIndicatorChanged, this,
            [this](int section, Qt::SortOrder order) { ShowOrder(section, order); });
    QFont font = InterfaceFont(true);
    font.setBold(true);
    list_->setFont(font);
    // A selected row in white on the design's dark blue: its navy text would vanish on the highlight.
    list_->setStyleSheet(QStringLiteral("QTreeView#CrcList { background: #C0FFC0; color: #000080;"
                                        " selection-background-color: #000080; selection-color: #FFFFFF; }"));
    list_->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(list_, &QWidget::customContextMenuRequested, this, [this] {
        if (popup_) popup_->popup(QCursor::pos());
    });
    connect(list_, &QAbstractItemView::doubleClicked, this, [this] { Run([this] { form_.CrcListDblClick(); }); });
    // A tick the user sets counts in create mode's 選 counter at once.
    connect(model_, &QAbstractItemModel::dataChanged, this,
            [this](const QModelIndex&, const QModelIndex&, const QList<int>& roles) {
                if (syncing_ || form_.CommandRunning() || !roles.contains(Qt::CheckStateRole)) return;
                form_.ShowTickedCount();
                SyncFromForm();
            });
    connect(list_->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
        if (syncing_) return;
        const QModelIndexList rows = list_->selectionModel()->selectedRows();
        form_.CrcList.SetSelected(rows.isEmpty() ? -1 : model_->ListRow(rows.front().row()));
    });
    connect(list_->header(), &QHeaderView::sectionResized, this, [this](int section, int, int size) {
        if (syncing_ || section < 0 || static_cast<std::size_t>(section) >= form_.CrcList.Columns.size()) return;
        form_.CrcList.SetShownWidth(static_cast<std::size_t>(section), size);
    });
}

void MainWindow::BuildStatusBar() {
    auto* bar = new QStatusBar(this);
    bar->setObjectName(QStringLiteral("StatusBar"));
    bar->setFixedHeight(24);
    bar->setStyleSheet(QStringLiteral("QStatusBar { background: #C0FFC0; }"));
    auto* text = new ClickLabel(bar);
    text->setObjectName(QStringLiteral("Status"));
    text->OnClick = [this] { Run([this] { form_.StatusClick(); }); };
    bar->addWidget(text, 1);
    // Shown only while long work runs: the share of bytes done, or moving without one for a search.
    progress_ = new QProgressBar(bar);
    progress_->setObjectName(QStringLiteral("Progress"));
    progress_->setFixedWidth(160);
    progress_->setMaximumHeight(16);
    progress_->setTextVisible(false);
    progress_->setVisible(false);
    bar->addPermanentWidget(progress_);
    status_ = text;
    setStatusBar(bar);
    AddControl(form_.Status, text, [text](const QString& t) { text->setText(t); });
}

void MainWindow::AddControl(const TControl& element, QWidget* widget, std::function<void(const QString&)> setText) {
    controls_.push_back({&element, widget, std::move(setText), element.Changes() + 1});
}

QAction* MainWindow::ActionOf(const TMenuItem& item) const {
    for (const MenuView& m : menus_)
        if (m.Item == &item) return m.Action;
    return nullptr;
}

void MainWindow::ShowOrder(int column, Qt::SortOrder order) {
    syncing_ = true;
    model_->SetOrder(column, order);
    syncing_ = false;
    SyncSelection();
}

void MainWindow::ShowOnlyUnmatched(bool on) {
    syncing_ = true;
    model_->SetOnlyUnmatched(on);
    syncing_ = false;
    SyncSelection();
}

void MainWindow::Run(const std::function<void()>& body, bool busy, bool evenWhileRunning) {
    // A command inside another one (the search's stop click) is timed as part of the outer one.
    const bool timed = timing_ && !form_.CommandRunning();
    QElapsedTimer took;
    if (timed) {
        took.start();
        ui_.RestartTiming();
    }
    form_.RunCommand(body, busy, evenWhileRunning);
    SyncFromForm();
    if (timed) {
        std::fprintf(stderr, "command took %lld ms; longest stretch without event handling %lld ms so far\n",
                     static_cast<long long>(took.elapsed()), static_cast<long long>(ui_.LongestGapMs()));
        WatchFirstPaint();
    }
    // A command that ran inside another one (the search's stop click) leaves the closing to the outer one.
    if (form_.ClosePending() && !form_.CommandRunning()) close();
}

void MainWindow::SyncFromForm() {
    syncing_ = true;
    if (LanguageGeneration() != languageShown_) {
        // Another language: every text is drawn again.
        languageShown_ = LanguageGeneration();
        InstallQtTranslations();
        captionShown_.clear();
        for (ControlView& c : controls_) c.Seen = c.Element->Changes() + 1;
        for (MenuView& m : menus_) m.Seen = m.Item->Changes() + 1;
        for (const auto& [menu, japanese] : menuTitles_) menu->setTitle(T(japanese));
        if (onlyUnmatched_) onlyUnmatched_->setText(T(OnlyUnmatchedCaption));
        emit model_->headerDataChanged(Qt::Horizontal, 0, model_->columnCount() - 1);
    }
    if (form_.Caption != captionShown_) {
        captionShown_ = form_.Caption;
        setWindowTitle(QString::fromStdString(captionShown_)); // the program's name or a path
    }
    for (ControlView& c : controls_) {
        if (c.Element->Changes() == c.Seen) continue;
        c.Seen = c.Element->Changes();
        c.SetText(T(c.Element->Caption()));
        c.Widget->setToolTip(T(c.Element->Hint()));
        c.Widget->setVisible(c.Element->Visible());
        c.Widget->setEnabled(c.Element->Enabled());
    }
    // The status bar's hint covers the whole bar.
    statusBar()->setToolTip(T(form_.Status.Hint()));
    for (MenuView& m : menus_) {
        // A checkable action ticks itself when chosen: put back the logic's tick every time.
        m.Action->setChecked(m.Item->Checked());
        if (m.Item->Changes() == m.Seen) continue;
        m.Seen = m.Item->Changes();
        m.Action->setText(T(m.Item->Caption()));
        m.Action->setEnabled(m.Item->Enabled());
    }
    SyncProgress();
    model_->Sync(!form_.CommandRunning());
    // The key column is headed by the list's algorithm and as wide as its digests.
    const TListView& rows = form_.CrcList;
    const std::string& keyCaption = rows.Columns[TListView::KeyColumn].Caption;
    if (keyCaption != keyCaptionShown_ || rows.KeyDigits() != keyDigitsShown_) {
        keyCaptionShown_ = keyCaption;
        keyDigitsShown_ = rows.KeyDigits();
        const int key = static_cast<int>(TListView::KeyColumn);
        emit model_->headerDataChanged(Qt::Horizontal, key, key);
        list_->header()->resizeSection(key, rows.ShownWidth(TListView::KeyColumn));
    }
    SyncSelection();
    syncing_ = false;
}

void MainWindow::SyncProgress() {
    const bool shown = form_.Progress.Shown();
    QString text = T(form_.Status.Caption());
    double share = -1;
    if (shown) {
        const ProgressFigures f = form_.Progress.Figures();
        share = f.Share();
        const std::string figures = StatusFigures(f);
        if (!figures.empty()) text += (text.isEmpty() ? QString() : QStringLiteral("  ")) + T(figures);
        constexpr int Steps = 1000;
        if (share < 0)
            progress_->setRange(0, 0); // moves without a share
        else {
            progress_->setRange(0, Steps);
            progress_->setValue(static_cast<int>(share * Steps));
        }
    }
    if (progress_->isHidden() == shown) progress_->setVisible(shown);
    if (!launcher_)
        launcher_ = std::make_unique<LauncherProgress>(QGuiApplication::desktopFileName() + QStringLiteral(".desktop"));
    launcher_->Show(shown, share);
    // The design's own text comes back as soon as the work ends.
    if (status_->text() != text) status_->setText(text);
}

void MainWindow::SyncSelection() {
    const int wanted = form_.CrcList.Selected();
    const QModelIndexList rows = list_->selectionModel()->selectedRows();
    const int shown = rows.isEmpty() ? -1 : rows.front().row();
    const int view = wanted < 0 ? -1 : model_->ViewRow(wanted);
    if (view == shown) return;
    const bool wasSyncing = syncing_;
    syncing_ = true;
    // A selected row the filter hides stays selected in the logic; the view just shows none.
    if (view < 0 || view >= model_->rowCount()) {
        list_->selectionModel()->clearSelection();
    } else {
        const QModelIndex index = model_->index(view, 0);
        list_->selectionModel()->select(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        list_->scrollTo(index);
    }
    syncing_ = wasSyncing;
}

// The time from the command's last event handling (the end of its scan) to the list's first paint
// after it, which is also a stretch without event handling.
void MainWindow::WatchFirstPaint() {
    if (paintWatched_) return;
    paintWatched_ = true;
    list_->viewport()->installEventFilter(this);
    list_->viewport()->update();
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    if (paintWatched_ && watched == list_->viewport() && event->type() == QEvent::Paint) {
        paintWatched_ = false;
        list_->viewport()->removeEventFilter(this);
        const qint64 shown = ui_.SinceEventsMs();
        std::fprintf(stderr, "list shown %lld ms after the command's last event handling; longest stretch %lld ms\n",
                     static_cast<long long>(shown), static_cast<long long>(std::max(shown, ui_.LongestGapMs())));
    }
    return QMainWindow::eventFilter(watched, event);
}

void MainWindow::Start(const std::vector<std::string>& args) {
    Run([this] { form_.PrepareWindow(); });
    ApplyBounds();
    syncing_ = true;
    for (std::size_t c = 0; c < form_.CrcList.Columns.size(); ++c)
        list_->header()->resizeSection(static_cast<int>(c), form_.CrcList.ShownWidth(c));
    syncing_ = false;
    show();
    // Let the window appear before a long start list keeps it busy.
    ui_.ProcessMessages();
    Run([this, &args] { form_.OpenStartList(args); });
}

// Left and Top place the window's frame, Width and Height size its contents, as the settings keep them.
void MainWindow::ApplyBounds() {
    const TWindowBounds& b = form_.Bounds;
    setMinimumSize(b.MinWidth, b.MinHeight);
    resize(b.Width, b.Height);
    move(b.Left, b.Top);
}

void MainWindow::ReadBackBounds() {
    TWindowBounds& b = form_.Bounds;
    b.State = isMinimized() ? TWindowState::Minimized : isMaximized() ? TWindowState::Maximized : TWindowState::Normal;
    if (b.State == TWindowState::Normal && !isFullScreen()) {
        b.Left = pos().x();
        b.Top = pos().y();
        b.Width = width();
        b.Height = height();
        return;
    }
    const QRect normal = normalGeometry();
    if (!normal.isValid()) return;
    const QPoint frame = geometry().topLeft() - pos();
    b.Left = normal.x() - frame.x();
    b.Top = normal.y() - frame.y();
    b.Width = normal.width();
    b.Height = normal.height();
}

void MainWindow::closeEvent(QCloseEvent* event) {
    // Closing in the middle of a load or search would pull the window from under it: the command is
    // asked to stop, and the window closes as soon as it has returned (Run).
    if (form_.CommandRunning()) {
        form_.AskToClose();
        event->ignore();
        return;
    }
    ReadBackBounds();
    form_.FormClose();
    // The normal bounds were read above; the restore itself is only what the user sees.
    if (form_.Bounds.State == TWindowState::Normal && (isMaximized() || isMinimized())) showNormal();
    if (!settingsSaved_) {
        settingsSaved_ = true;
        form_.FormDestroy();
    }
    event->accept();
    emit Closed();
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void MainWindow::dropEvent(QDropEvent* event) {
    std::vector<std::string> paths;
    for (const QUrl& url : event->mimeData()->urls())
        if (url.isLocalFile()) paths.push_back(url.toLocalFile().toUtf8().toStdString());
    event->acceptProposedAction();
    if (!paths.empty()) Run([this, &paths] { form_.FilesDropped(paths); });
}

} // namespace tv::qt
