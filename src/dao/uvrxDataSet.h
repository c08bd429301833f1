// TvrxDataSet: the application's dataset, a TDAOQuery that keeps a log of the changes made
// through it. The data module's `dstGeral` is one; the update run uses it only to execute
// statements (ExecSQL), which logs nothing.
//
// The change log is an in-memory table owned by the dataset. It is built when the dataset
// opens (or at the first edit or delete when it was not built then) from the dataset's own
// field definitions, followed by "STATUS" (16-bit, required) and "BMK" (32-bit, required),
// with the unique primary index "idxBMK" on BMK as its current index. It holds at most one
// entry per record, keyed by the record's bookmark read as a 32-bit signed number:
//   STATUS 2 (edited)    the values the record had before its first edit
//   STATUS 3 (inserted)  the values as last posted
//   STATUS 4 (deleted)   the values before the deletion, or before the first edit of a
//                        record edited earlier
// A record inserted and then deleted leaves no entry. Closing the dataset empties and
// closes the log and drops its fields; reopening builds it anew.
//
// A column of a type that has no field object (an engine type the layer does not map) is
// listed in ValueFields but logged without a value.
//
// While `TrackChanges` is false (it is true from creation) the dataset behaves as a plain
// TDAOQuery. An error while the log is written propagates from the post or delete that
// caused it; the change in the database stays made.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "dao/DAOQuery.h"
#include "db/MemoryTable.h"

namespace pavana {

class TvrxDataSet : public TDAOQuery {
public:
    explicit TvrxDataSet(TComponent* owner);
    ~TvrxDataSet() override;

    std::string_view ClassName() const override { return "TvrxDataSet"; }

    // The names of the log's value fields joined by ";" (the dataset's own field names);
    // empty while the log has not been built.
    std::string ValueFields() const;

    bool TrackChanges() const { return trackChanges_; }
    void SetTrackChanges(bool track) { trackChanges_ = track; }

    // The log itself, for reading; it is rebuilt and emptied by the dataset as said above.
    TMemoryTable& ChangeLog() { return *changeLog_; }
    const TMemoryTable& ChangeLog() const { return *changeLog_; }

protected:
    void DoAfterClose() override;
    void DoAfterDelete() override;
    void DoAfterOpen() override;
    void DoAfterPost() override;
    void DoBeforeDelete() override;
    void DoBeforeEdit() override;
    void DoBeforeInsert() override;
    void DoBeforePost() override;

private:
    void PrepareChangeLog();
    void ResetChangeLog();
    bool FindLogEntry(std::int32_t bookmark);
    void WriteSavedValues();
    void SaveCurrentValues();
    void PostLogEntry();
    std::int32_t CurrentBookmarkNumber() const;

    TDataSetState postState_ = dsInactive;
    std::vector<Variant> savedValues_;  // empty between changes
    // The fields of ValueFields in the dataset and in the log, while the log is built; null
    // for a column of a type without a field object, which is logged without a value.
    std::vector<TField*> valueFields_;
    std::vector<TField*> logValueFields_;
    std::int32_t deletedBookmark_ = 0;
    TField* bmkField_ = nullptr;
    TField* statusField_ = nullptr;
    bool trackChanges_ = true;
    std::unique_ptr<TMemoryTable> changeLog_;
};

}  // namespace pavana
