// Building blocks shared by the transfer units (InstrumentTransfer.cpp and
// InstrumentActivate.cpp); not for use outside instrument/.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace xfer {

inline constexpr std::size_t kUploadChunk = 16384;  // ":MMEM:DATA" uploads
inline constexpr std::size_t kListChunk = 2048;     // list uploads

struct FileCloser {
  void operator()(std::FILE* f) const {
    if (f) std::fclose(f);
  }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

// How one block upload chunks and reports progress.
struct BlockStyle {
  std::size_t chunk;
  bool progressEveryChunk;  // false: only when the percentage changes
};

std::string Fmt(const char* fmt, long long v);
// ScpiQuoted that logs the refusal of a name with a control character.
bool QuoteOrRefuse(const std::string& name, std::string* quoted);
// "#<digits><length>" of a definite-length block.
std::string BlockPrefix(std::int64_t length);
// 1 found, 0 not found, -1 an entry of 1,023 characters or more.
int CatalogHasName(std::string_view reply, std::string_view name);
// ":MMEM:CAT?" read whole, however long; the empty-catalog error counts as
// an empty reply. 0 for any other failure.
int QueryCatalog(int id, const std::string& command, std::string* reply);
// Device clear (or reconnect) and an emptied error queue after a failure.
void RecoverAfterFailure(int id);
// Sends header and then size bytes of file as one block, END on the last byte.
int StreamBlock(int id, const std::string& header, std::FILE* file, std::int64_t size, const BlockStyle& style);
// Checks the names and the size (1 .. kMaxBlockBytes) and opens the file;
// logs the reason and returns nullptr otherwise.
FilePtr OpenUploadSource(const char* localPath, const char* instrumentPath, std::int64_t* size);
// The upload questions of an id (VisaDev_UploadCancelled,
// VisaDev_ConfirmUpload): an operation that may ask starts by clearing the
// cancelled mark; a No marks it and logs the cancel line; a confirmation of
// the target is used up by the upload that replaces it.
void StartQuestions(int id);
void MarkCancelled(int id);
bool TakeConfirmation(int id, const std::string& path);
const char* SourPrefix(int path);
const char* OutpPrefix(int path);

}  // namespace xfer
