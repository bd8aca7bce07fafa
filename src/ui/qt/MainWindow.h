#pragma once
// The main window on Qt. It renders TForm1's elements (buttons, counters, status bar, menus, rows)
// and routes every click to a command of TForm1; after each command it catches up with the
// elements. It keeps no state of its own that the logic needs.
#include "app/TallyvaultMain.h"

#include <QMainWindow>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

class QAction;
class QLabel;
class QMenu;
class QProgressBar;
class QToolButton;
class QTreeView;

namespace tv::qt {

class CrcListModel;
class LauncherProgress;
class QtUi;

class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    MainWindow(TForm1& form, QtUi& ui, QWidget* parent = nullptr);
    ~MainWindow() override;

    // The window's creation: settings and menu state, then the window is shown at its saved place and
    // the list named by the first argument is loaded.
    void Start(const std::vector<std::string>& args);
    // Runs one command of the logic, then brings the window up to date and closes it if asked to.
    void Run(const std::function<void()>& body, bool busy = false, bool evenWhileRunning = false);
    // Brings every element on screen up to date with TForm1.
    void SyncFromForm();

    TForm1& Form() { return form_; }
    QTreeView* List() { return list_; }
    QAction* ActionOf(const TMenuItem& item) const;
    // The view's own filter: only the rows that are not matches.
    QAction* OnlyUnmatchedAction() const { return onlyUnmatched_; }

signals:
    // The window has closed and saved the settings; the program may end.
    void Closed();

protected:
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    using Click = MenuClick;
    struct ControlView {
        const TControl* Element;
        QWidget* Widget;
        std::function<void(const QString&)> SetText;
        std::uint64_t Seen;
    };
    struct MenuView {
        const TMenuItem* Item;
        QAction* Action;
        std::uint64_t Seen;
    };

    QWidget* BuildToolButtons();
    QWidget* BuildCounters();
    void BuildList();
    void BuildStatusBar();
    void BuildMenus();
    QAction* AddItem(QMenu* menu, TMenuItem& item, Click click, std::function<void()> handler,
                     bool evenWhileRunning = false);
    void AddControl(const TControl& element, QWidget* widget, std::function<void(const QString&)> setText);
    void SyncSelection();
    // The bar and the figures of long work, beside the status text, once it has run half a second.
    void SyncProgress();
    void LayOutCounters();
    void LayOutToolButtons();
    void ApplyBounds();
    void ReadBackBounds();
    void ShowOrder(int column, Qt::SortOrder order);
    void ShowOnlyUnmatched(bool on);
    void WatchFirstPaint();
    bool eventFilter(QObject* watched, QEvent* event) override;

    TForm1& form_;
    QtUi& ui_;
    CrcListModel* model_ = nullptr;
    QTreeView* list_ = nullptr;
    QMenu* popup_ = nullptr;
    QAction* onlyUnmatched_ = nullptr;
    QLabel* status_ = nullptr;
    QProgressBar* progress_ = nullptr;
    std::unique_ptr<LauncherProgress> launcher_;
    std::vector<QLabel*> counterParts_; // Label1, TotalCounter, Label2, GoodCounter, ...
    std::vector<std::pair<QToolButton*, int>> toolButtons_; // with their designed widths
    QWidget* toolPanel_ = nullptr;
    // The menus' own titles, in Japanese, drawn again in another language.
    std::vector<std::pair<QMenu*, const char*>> menuTitles_;
    static constexpr const char* OnlyUnmatchedCaption = "○以外の行だけ表示(&U)";
    std::uint64_t languageShown_ = 0;
    std::vector<ControlView> controls_;
    std::vector<MenuView> menus_;
    std::string captionShown_;
    std::string keyCaptionShown_ = "CRC";
    int keyDigitsShown_ = 8;
    bool syncing_ = false;
    bool settingsSaved_ = false;
    // TALLYVAULT_TIMING: each command reports its time and how long the window went without events.
    bool timing_ = false;
    bool paintWatched_ = false;
};

} // namespace tv::qt
