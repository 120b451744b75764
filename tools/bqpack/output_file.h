// How bqpack writes its outputs without ever destroying what is not its
// own.  Every output is first written in full to a new file beside its
// target (created exclusively, so nothing existing is opened or truncated)
// and only then moved onto the target's name.  When anything fails, only
// those new files are removed: every existing file keeps its bytes.  A
// target that exists and is neither a regular file nor a link (a folder, a
// device, a FIFO, a socket) is refused before anything is written; a link
// is replaced as an entry, never written through.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// What is at a path.  followLinks: a link counts as what it leads to.
enum class EntryKind { None, File, Folder, Link, Other };
EntryKind KindOf(const std::string& path, bool followLinks);

// True when an output may replace what is at target (nothing, a regular
// file or a link); otherwise *why says what is there.
bool MayReplace(const std::string& target, std::string* why);

// An output written in full under a temporary name beside its target.
struct StagedFile {
    std::string target;
    std::string temp;   // the complete new file; empty once moved or removed
    std::string backup; // during CommitStaged: the former target, until all are in place
    bool placed = false;
    int fd = -1; // while it is written piece by piece
};

// Creates a new file beside target and writes size bytes of data to it.
// On failure removes it and sets *why (the reason, without the path).
bool StageFile(const std::string& target, const std::uint8_t* data, std::size_t size,
               StagedFile* staged, std::string* why);

// The same piece by piece, for an output too large to hold: OpenStaged
// creates the new file (open for reading and writing), WriteStagedAt writes
// and ReadStagedAt reads bytes at an offset, CloseStaged makes it complete
// (permissions as StageFile gives them, flushed to the disk) and closes it.
// A failing OpenStaged or CloseStaged removes the file and sets *why;
// after any other failure, DiscardStaged removes it.
bool OpenStaged(const std::string& target, StagedFile* staged, std::string* why);
bool WriteStagedAt(const StagedFile& staged, std::uint64_t offset, const std::uint8_t* data,
                   std::size_t size, std::string* why);
bool ReadStagedAt(const StagedFile& staged, std::uint64_t offset, std::uint8_t* data,
                  std::size_t size);
bool CloseStaged(StagedFile* staged, std::string* why);
void DiscardStaged(StagedFile* staged);

// Moves every staged file onto its target, all or none.  With replace, an
// existing target (a file or a link) is replaced; without it, a target that
// has appeared since it was checked is refused.  On failure the targets
// placed so far are taken back and any replaced ones restored, the staged
// files are removed, *failed is the index of the file that failed and *why
// the reason.
bool CommitStaged(std::vector<StagedFile>* files, bool replace, std::size_t* failed,
                  std::string* why);

// Removes the staged files that were not moved.
void DiscardStaged(std::vector<StagedFile>* files);

// One output: refuses a target that MayReplace refuses, stages the bytes
// and moves them onto the target.  *why as above.
bool WriteOutputFile(const std::string& target, const std::uint8_t* data, std::size_t size,
                     std::string* why);

// From now on, an interrupted command (SIGINT, SIGTERM, SIGHUP) first removes
// the new files it has not yet moved into place, then ends as the signal
// says.  Existing files are never touched.
void RemoveOutputsWhenInterrupted();
