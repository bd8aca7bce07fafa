#include "app/TallyvaultMain.h"
#include "core/EntryNames.h"

#include "platform/Errors.h"
#include "platform/Paths.h"

#include <new>

#include <algorithm>
#include <iterator>

namespace tv {

TForm1::TForm1(Ui& u, FileSystem& f) : ui(u), fs(f) {
    CrcList.Columns = {{"FileName", 250, TListColumn::Align::Left},
                       {"FileSize", 70, TListColumn::Align::Right},
                       {"CRC", 76, TListColumn::Align::Center},
                       {"Same File", 500, TListColumn::Align::Left}};
    DblInq.SetChecked(true);
    ListKinds[0].SetChecked(true);
    ThreadChoices[0].SetChecked(true);
    DiskChoices[0].SetChecked(true);
}

bool TForm1::RunCommand(const std::function<void()>& body, bool busy, bool evenWhileRunning) {
    if (commandDepth_ > 0 && !evenWhileRunning) return false;
    // The outermost command owns the progress: it starts with none and leaves none.
    struct ProgressRun {
        ProgressModel& model;
        std::optional<ByteProgressScope> bytes;
        ProgressRun(ProgressModel& m, ProgressPacer* pacer) : model(m) {
            if (!pacer) return;
            model.Reset();
            bytes.emplace(pacer);
        }
        ~ProgressRun() {
            if (bytes) model.Reset();
        }
    } progress(Progress, commandDepth_ == 0 ? &pacer_ : nullptr);
    struct Depth {
        int& d;
        explicit Depth(int& x) : d(x) { ++d; }
        ~Depth() { --d; }
    } depth(commandDepth_);
    const BusyCursor cursor(ui, busy);
    std::string error, cause;
    try {
        body();
        return true;
    } catch (const IoError& e) {
        error = e.what();
        cause = CauseLine(e);
    } catch (const ConvertError& e) {
        error = e.what();
        if (e.Line() != 0) cause = ListPath + ": line " + std::to_string(e.Line());
    } catch (const std::bad_alloc&) {
        // A list too large for the memory left ends its load like any other failure, not the program.
        error = "Out of memory";
    } catch (const CommandStopped&) {
        // The window is closing: the outermost command takes the stop, with no box and no half-built rows.
        if (commandDepth_ > 1) throw;
        stopThrown_ = false;
        ui.SetBusyCursor(false);
        if (progress.bytes) Progress.Reset();
        if (rowsOutOfStep_) ClearTableAndRows();
        return true;
    }
    // The guard is still alive here: the error box comes with the normal pointer.
    ui.SetBusyCursor(false);
    if (progress.bytes) Progress.Reset(); // nor does the bar stay behind the box
    if (rowsOutOfStep_) ClearTableAndRows();
    ui.ShowError(error);
    ui.ShowErrorCause(cause);
    return true;
}

void TForm1::ReportProgress(const std::function<void()>& captions, bool last) {
    // A close asked for while the work could not stop (a file being moved) takes effect at the first
    // point after it.
    const auto stopWhenAsked = [this] {
        if (!CloseAsked || unstoppable_ > 0 || stopThrown_ || commandDepth_ == 0) return;
        stopThrown_ = true;
        throw CommandStopped{};
    };
    stopWhenAsked();
    const std::int64_t now = SteadyClock();
    if (!last && progressAt_ && now - *progressAt_ < ProgressIntervalMs) return;
    Progress.Sample(now);
    if (captions) captions();
    ui.ProcessMessages();
    // Counted from the end of the event handling, so that a slow repaint does not eat the next interval.
    progressAt_ = SteadyClock();
    stopWhenAsked();
}

void TForm1::ClickDuplicateOption(TMenuItem& item) {
    bool tick = !item.Checked();
    for (TMenuItem* m : {&DblNop, &DblInq, &DblDel})
        m->SetChecked(false);
    item.SetChecked(tick);
}

void TForm1::ClickListKind(TMenuItem& item) {
    for (TMenuItem& m : ListKinds)
        m.SetChecked(&m == &item);
    ListKindPar2.SetChecked(&ListKindPar2 == &item);
}

namespace {
template <std::size_t N> bool OneOf(const TMenuItem (&items)[N], const TMenuItem& item) {
    return std::any_of(std::begin(items), std::end(items), [&](const TMenuItem& m) { return &m == &item; });
}
} // namespace

namespace {
// Ticks `item` alone among `items`; false when it is none of them.
template <std::size_t N> bool TickAlone(TMenuItem (&items)[N], const TMenuItem& item) {
    if (!OneOf(items, item)) return false;
    for (TMenuItem& m : items)
        m.SetChecked(&m == &item);
    return true;
}
// The first ticked item, or the first item when none is.
template <std::size_t N> std::size_t FirstTicked(const TMenuItem (&items)[N]) {
    for (std::size_t k = 0; k < N; ++k)
        if (items[k].Checked()) return k;
    return 0;
}
} // namespace

void TForm1::ClickWorkerChoice(TMenuItem& item) {
    if (!TickAlone(ThreadChoices, item)) TickAlone(DiskChoices, item);
    UseWorkerChoices();
}

void TForm1::UseWorkerChoices() {
    const std::size_t threads = FirstTicked(ThreadChoices);
    const std::size_t disk = FirstTicked(DiskChoices);
    TickAlone(ThreadChoices, ThreadChoices[threads]);
    TickAlone(DiskChoices, DiskChoices[disk]);
    Hashing.Threads = ThreadCounts[threads];
    Hashing.Disk = disk == 1 ? DiskChoice::Hdd : disk == 2 ? DiskChoice::Ssd : DiskChoice::Auto;
}

void TForm1::ClickMenuItem(TMenuItem& item, MenuClick click, const std::function<void()>& command) {
    const bool listKind = OneOf(ListKinds, item) || &item == &ListKindPar2;
    const bool workers = OneOf(ThreadChoices, item) || OneOf(DiskChoices, item);
    if (click == MenuClick::AutoCheck) item.SetChecked(!item.Checked());
    // The language items tick themselves through their command.
    const bool language = &item == &LanguageAuto || &item == &LanguageJa || &item == &LanguageEn;
    if (click == MenuClick::Radio && workers)
        ClickWorkerChoice(item);
    else if (click == MenuClick::Radio && !language)
        listKind ? ClickListKind(item) : ClickDuplicateOption(item);
    if (command) command();
}

void TForm1::AppendEntry(std::string name, std::int64_t size, std::uint32_t crc) {
    if (EntryCount == 0) EntryTable.ForgetNames();
    EntryTable.MakeRoom(EntryCount);
    TCrcTable& e = EntryTable[EntryCount];
    e.ListBytes.clear();
    e.ByListBytes = false;
    e.LiteralBackslash = false;
    // A CP932 list's names are converted; ASCII reads the same in both. A name that does not convert
    // keeps its bytes, so that it is still looked up and written again as the list gave it.
    const bool ascii =
        std::all_of(name.begin(), name.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    if (Encoding == ListEncoding::Cp932 && !ascii) {
        const std::optional<std::string> converted = Cp932ToUtf8(name);
        e.ByListBytes = !converted;
        EntryTable.SetName(EntryCount, converted ? *converted : name);
        e.ListBytes = std::move(name);
    } else {
        EntryTable.SetName(EntryCount, name);
    }
    e.FileSize = size;
    e.Crc = crc;
    e.DigestSlot = 0;
    ++EntryCount;
}

void TForm1::AppendEntry(std::string name, std::int64_t size, const ContentKey& key) {
    AppendEntry(std::move(name), size, key.Prefix());
    EntryTable.SetKey(EntryCount - 1, key);
}

void TForm1::SetListAlgorithms(AlgorithmSet algorithms, HashAlgorithm shown) {
    ListAlgorithms = algorithms.Empty() ? AlgorithmSet(shown) : algorithms;
    ListAlgorithm = shown;
    CrcList.Columns[TListView::KeyColumn].Caption = InfoOf(shown).ColumnTitle;
    CrcList.SetKeyDigits(static_cast<int>(ListAlgorithms.BytesOf(shown) * 2));
}

void TForm1::ClearTableAndRows() {
    EntryCount = 0;
    CrcList.Clear();
    GoodCount = BadCount = MissingCount = SameFileCount = 0;
    for (TControl* c : {&TotalCounter, &GoodCounter, &BadCounter, &NotingCounter})
        c->SetCaption("0");
    rowsOutOfStep_ = false;
}

std::string TForm1::EntryPath(std::int32_t i) const {
    return EntryFullPath(BaseFolder, EntryTable[i]);
}

} // namespace tv
