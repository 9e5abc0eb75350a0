// An archive member read in pieces (see TContentStream). Used by the archive only.
#pragma once

#include <memory>

#include "storage/archive_reader.h"
#include "storage/content_stream.h"

namespace tq {

// The member entry of the archive file reader has open.
std::unique_ptr<TContentStream> MemberContentStream(
    std::shared_ptr<const archive_detail::TArchiveReader> reader,
    const archive_detail::TEntry& entry);

}  // namespace tq
