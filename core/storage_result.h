#pragma once

namespace ks {

// Result codes shared by the low-level record routines.
enum class StorageResult : int {
    Done = 0,
    CallFailed = 1,          // the read or write call failed
    NothingGiven = 2,        // no buffer or object given; a header never filled
    ShortTransfer = 3,       // fewer bytes moved than asked
    NothingTransferred = 4,  // no bytes moved; for reads, end of file
    NoFile = 5,
    NotRecognised = 6,  // markers or kind GUID not recognised; node not valid
};

}  // namespace ks
