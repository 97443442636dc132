// The process-wide failure context: where and why the last GData or GGroup
// operation failed. Written just before an exception is thrown, read only by
// friendlyTerminator. One record per process, without locking: the library is
// used by one thread at a time.
#pragma once

#include <initializer_list>
#include <string>

namespace tarvos {

// Why an operation failed. The ids index the report texts.
enum FailureReason : int {
    REASON_NONE = 0,
    REASON_INDIRECT = 1,
    REASON_UNKNOWN = 2,
    REASON_FILE_OPEN = 3,
    REASON_FILE_READ = 4,
    REASON_FILE_PART_READ = 5,  // values: blocks read, blocks present
    REASON_FILE_WRITE = 6,
    REASON_FILE_SEEK = 7,
    REASON_ALLOC = 8,           // value: bytes requested
    REASON_PARAM = 9,
    REASON_INDEX = 10,          // values: index, last valid index
    REASON_RANGE = 11,          // values: offset, length, buffer size
    REASON_INVALID = 12,
    REASON_NOT_FOUND = 13,
};

// Which operation failed. The ids index the report texts; some name operations
// this version does not have.
enum FailureOperation : int {
    OP_GDATA_DEFAULT = 0,
    OP_GDATA_COPY = 1,
    OP_GDATA_CREATE = 2,
    OP_GDATA_INDEX = 3,
    OP_GDATA_ASSIGN = 4,
    OP_GDATA_EQUAL = 5,
    OP_GDATA_NOT_EQUAL = 6,
    OP_GDATA_AS_UCP = 7,
    OP_GDATA_AS_CP = 8,
    OP_GDATA_AS_VP = 9,
    OP_GDATA_SIZE = 10,
    OP_GDATA_TYPE = 11,
    OP_GDATA_NAME = 12,
    OP_GDATA_GET_DATA = 13,
    OP_GDATA_GET_DATA_UCP = 14,
    OP_GDATA_GET_DATA_CP = 15,
    OP_GDATA_GET_WRITEABLE = 16,
    OP_GDATA_GET_WRITEABLE_UCP = 17,
    OP_GDATA_GET_WRITEABLE_CP = 18,
    OP_GDATA_COMPARE_INFO = 19,
    OP_GDATA_COMPARE_DATA = 20,
    OP_GDATA_FILL_EXT_BUF = 21,
    OP_GDATA_EXPORT = 22,
    OP_GGROUP_COPY = 23,
    OP_GGROUP_OPEN_CONSTRUCT = 24,
    OP_GGROUP_ASSIGN = 25,
    OP_GGROUP_INDEX = 26,
    OP_GGROUP_VERSION = 27,
    OP_GGROUP_FILEINFO = 28,
    OP_GGROUP_FILENAME = 29,
    OP_GGROUP_NITEMS = 30,
    OP_GGROUP_TYPE = 31,
    OP_GGROUP_EOPEN = 32,
    OP_GGROUP_GET_DATA_INDEX = 33,
    OP_GGROUP_GET_DATA_NAME = 34,
    OP_GGROUP_WRITE_BACK = 35,
    OP_GGROUP_EQUAL = 36,
    OP_GGROUP_NOT_EQUAL = 37,
};

struct FailureContext {
    int operation;
    int reason;
    int values[3];
};

// Records operation and reason; the values given overwrite values 1, 2, 3 in
// turn, the others keep what they held.
void recordFailure(int operation, int reason, std::initializer_list<int> values = {});
// Overwrites the operation only (a wrapper that reports the failure of what it called).
void recordOperation(int operation);
const FailureContext& failureContext();

// The full message friendlyTerminator shows for the recorded context.
std::string failureMessage();

}  // namespace tarvos
