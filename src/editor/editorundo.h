#pragma once
// The editor's undo records and the list that owns their byte buffers.
//
// A record holds the bytes needed to reverse and to repeat one change. Records are copied as
// bytes by TDynaArray, so they hold plain malloc'd buffers; TUndoList frees them when a record
// is discarded and when the list goes away.

#include "vantrel/dynaarray.h"

#include <cstdint>

namespace morvilo {

struct TUndo {
    enum Kind : int32_t { Insertion = 0, Overwrite = 1, Deletion = 2 };

    int32_t undogroup; // undo and redo steps take all adjacent records of one number
    int32_t kind;
    int64_t pos;       // where the change starts
    int64_t incdelpos; // deletions: bytes that lay before the caret (Backspace)
    int64_t olen;      // overwrites: number of overwritten bytes, in obuf
    uint8_t *obuf;
    int64_t len; // inserted, overwriting or deleted bytes, in buf
    uint8_t *buf;
    int64_t oposy; // view start when the record was made
    int64_t bufcap, obufcap;
};

class TUndoList : public TDynaArray<TUndo> {
public:
    explicit TUndoList(TUndo **typpoi) : TDynaArray<TUndo>(typpoi) {}
    ~TUndoList() { Clear(); }

    // Frees the buffers of record nr and deletes it.
    void Release(int64_t nr);
    // Frees every record's buffers and empties the list.
    void Clear();

    // Buffer helpers; false when memory ran out (the record is unchanged then).
    static bool Append(uint8_t *&data, int64_t &len, int64_t &cap, const uint8_t *bytes,
                       int64_t count);
    static bool Prepend(uint8_t *&data, int64_t &len, int64_t &cap, uint8_t byte);
};

} // namespace morvilo
