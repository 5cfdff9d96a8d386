// The record of a commit in progress (platform/RunFiles.h): the moves of the
// run's copies over their files and the run's follow-up. It is one binary
// value of a key below HKEY_CURRENT_USER, written in one call and flushed
// before the first move, so that it is either there whole or not at all.
#pragma once

#include "platform/RunFiles.h"

#include <string>
#include <vector>

struct CommitRecord {
    struct Move {
        std::string copy;
        std::string file;
    };
    std::vector<Move> moves;
    RunFollowUp followUp;
};

// The value's bytes: a version line, the number of moves, each move's copy
// and file, then the follow-up lines; every item ended by a NUL byte.
std::string EncodeCommitRecord(const CommitRecord& record);
// False when the bytes are not a whole record of this form.
bool DecodeCommitRecord(const std::string& bytes, CommitRecord& record);

// Writes the record under `key` and flushes the key.
bool WriteCommitRecord(const std::string& key, const CommitRecord& record);
// False when there is no record (or none that can be read: then nothing of
// it was ever done, as it is written before the first move).
bool ReadCommitRecord(const std::string& key, CommitRecord& record);
void RemoveCommitRecord(const std::string& key);
