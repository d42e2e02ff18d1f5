#pragma once

#include <cstddef>
#include <cstdint>

// The entry functions of the fuzzers. Each one is fed arbitrary bytes by libFuzzer
// (tests/fuzz/FuzzerEntry.cpp) and, in the ordinary build, the saved findings and seeds by
// FuzzFindingsTest. A broken property is reported by fuzzFailure, which aborts, so that
// libFuzzer keeps the input and the test fails.
namespace glimora::fuzz {

// A T-SQL batch run by sa on a scratch database of the station's three tables.
int sqlBatch(const uint8_t* data, size_t size);
// A backup device: RESTORE VERIFYONLY, then RESTORE DATABASE and a read of what it restored.
int backupDevice(const uint8_t* data, size_t size);
// A uinfo.ini: read, write one key, read back.
int settingsFile(const uint8_t* data, size_t size);
// Connection strings built from typed values and read back by both readers.
int connectionString(const uint8_t* data, size_t size);
// The stored bytes of a record's picture, decoded as the query screen decodes them.
int recordPicture(const uint8_t* data, size_t size);
// A client's bytes put together into TDS messages; logins read and written back.
int tdsMessages(const uint8_t* data, size_t size);

// A QCoreApplication when the process has none (the fuzzers); tests bring their own.
void ensureApplication();
[[noreturn]] void fuzzFailure(const char* what, const char* detail = nullptr);
inline void fuzzCheck(bool condition, const char* what, const char* detail = nullptr)
{
    if (!condition)
        fuzzFailure(what, detail);
}

} // namespace glimora::fuzz
