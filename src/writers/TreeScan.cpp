// What the folder scan lists and hashes: the folder's own entries, or with "サブフォルダも含める" every
// plain file of its tree under its relative path. A sub-folder that cannot be listed and a file gone
// before it was read are passed over and named, not the end of the scan.
#include "app/TallyvaultMain.h"
#include "core/FileCrc32.h"
#include "core/FileDigest.h"
#include "core/FolderTree.h"
#include "platform/Errors.h"
#include "platform/ListingThreads.h"
#include "platform/Paths.h"

namespace tv {

std::vector<FolderEntry> TForm1::CreateModeListing() {
    PassedOverPaths.clear();
    const std::function<void()> pace = [this] { ReportProgress(); };
    // As the verification lists: a large folder's entries looked at by as many threads as hash.
    const ListingThreads threads(Hashing.ListingCount());
    if (!IncludeSubFolders.Checked()) return ListingPaced(fs, BaseFolder, pace);
    FolderTree tree = ListTree(fs, BaseFolder, pace);
    for (PassedOver& p : tree.Unreadable)
        PassedOverPaths.push_back({std::move(p.Path), std::move(p.Reason), true});
    return std::move(tree.Files);
}

bool TForm1::HashScannedFile(const FolderEntry& e, HashAlgorithm kind, ContentKey& key) {
    try {
        const std::string path = FolderFile(BaseFolder, e.Name);
        key = kind == HashAlgorithm::Crc32 ? ContentKey::OfCrc(FileCrc32(fs, path, e.Size))
                                           : FileKeyAsListed(fs, path, e.Size, kind, ListAlgorithms.BytesOf(kind));
        return true;
    } catch (const IoError& x) {
        if (IsNotFound(x)) {
            PassedOverPaths.push_back({e.Name, x.Reason().empty() ? x.what() : x.Reason(), false});
            return false;
        }
        if (PassOverUnreadable(x, e.Name)) return false;
        throw;
    }
}

} // namespace tv
