// The framework's dataset base: states, record buffers, navigation, editing, bookmarks and
// the notifications that data sources pass on to their links.
//
// A dataset is closed (dsInactive) or open (dsBrowse, dsEdit, dsInsert and the short-lived
// states). Opening runs `OpenCursor` (which a derived class extends to reach its rows and
// which calls `InternalOpen`), creates the default field objects when no persistent ones are
// attached, binds the fields and reads the first records; a failure leaves the dataset
// closed. Closing runs `CloseCursor` (`InternalClose` first) and frees the default fields.
//
// Records. The dataset keeps a window of record buffers (`BufferCount`, one unless a data
// link asks for more, plus one spare that receives each fetch). The derived class allocates
// buffers (`AllocRecordBuffer`), fills them (`GetRecord`, which never reads field values
// unless it wants to) and answers field reads and writes against them (`GetFieldData`,
// `SetFieldData`); the base moves buffers around as the cursor moves and re-reads them
// (`Resync`) after posts, deletes and jumps. The engine cursor and the window meet at the
// "current record", which the base restores with `InternalSetToRecord` before it asks for
// neighbours.
//
// Events are std::function members run at the points their names say; Before* handlers may
// raise to stop the operation. Errors of the base are EDatabaseError with the framework's
// texts ("Dataset not in edit or insert mode", "Cannot perform this operation on a closed
// dataset", "Field '%s' not found", ...).
//
// While a definition is being read, writing `Active` only records the wish; the dataset
// opens in `Loaded`, after every property it depends on has been read.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "classes/Component.h"
#include "db/DBTypes.h"
#include "db/Field.h"
#include "rtl/Streams.h"

namespace pavana {

class TDataSource;

// One record buffer: bytes laid out by the derived dataset, and the values too large or too
// structured for bytes (blobs, memos), which the buffer owns.
struct TRecordBuffer {
    std::vector<std::uint8_t> Bytes;
    std::vector<Variant> Objects;
};

// A bookmark: an opaque key of one record; empty means none.
using TBookmark = std::vector<std::uint8_t>;

enum class TGetMode { gmCurrent, gmNext, gmPrior };
enum class TGetResult { grOK, grBOF, grEOF, grError };
enum class TBookmarkFlag : std::uint8_t { bfCurrent, bfBOF, bfEOF, bfInserted };
enum class TDataEvent {
    deFieldChange,
    deRecordChange,
    deDataSetChange,
    deDataSetScroll,
    deLayoutChange,
    deUpdateRecord,
    deUpdateState,
    deCheckBrowseMode,
    dePropertyChange,
};
// What an error handler of post, edit or delete decides: raise the error, drop it silently,
// or try the operation again.
enum class TDataAction { daFail, daAbort, daRetry };

class TDataSet : public TComponent {
public:
    using TDataSetNotifyEvent = std::function<void(TDataSet& DataSet)>;
    using TDataSetErrorEvent = std::function<void(TDataSet& DataSet, const Exception& E, TDataAction& Action)>;
    // Judges the record the fields show; sets Accept to false to leave it out.
    using TFilterRecordEvent = std::function<void(TDataSet& DataSet, bool& Accept)>;

    explicit TDataSet(TComponent* owner);
    // Derived classes close the dataset in their own destructor, while they are whole.
    ~TDataSet() override;

    std::string_view ClassName() const override { return "TDataSet"; }

    bool Active() const { return state_ != dsInactive; }
    void SetActive(bool active);
    TDataSetState State() const { return state_; }
    void Open() { SetActive(true); }
    void Close() { SetActive(false); }
    // Fails with EDatabaseError "Cannot perform this operation on an open dataset" while open.
    void CheckInactive() const;

    // Navigation. Each finishes a pending edit first (post when modified, else cancel).
    void First();
    void Last();
    void Next() { MoveBy(1); }
    void Prior() { MoveBy(-1); }
    // Moves up to `distance` records; returns how many it moved (negative backwards).
    int MoveBy(int distance);
    bool Eof() const { return eof_; }
    bool Bof() const { return bof_; }
    bool IsEmpty() const { return Active() && recordCount_ == 0; }
    // As the derived dataset counts them (-1 when it cannot tell).
    int RecordCount() const;
    int RecNo() const;
    void SetRecNo(int value);

    // Editing.
    void Edit();
    void Insert();
    void Append();
    void Post();
    void Cancel();
    void Delete();
    // Appends a record whose fields take `values` in field order (Empty ones stay unset); the
    // before-post and after-post notifications run around the append as for a posted insert.
    void AppendRecord(const std::vector<Variant>& values);
    // Re-reads the records from the derived dataset.
    void Refresh();
    // Ends a pending edit: posts it when a field changed, else cancels it.
    void CheckBrowseMode();
    bool Modified() const { return modified_; }
    bool CanModify() const { return Active() && GetCanModify(); }

    // Bookmarks.
    TBookmark GetBookmark() const;
    void GotoBookmark(const TBookmark& bookmark);
    virtual bool BookmarkValid(const TBookmark& bookmark);
    // 0 equal, negative when `a` comes first, positive after; empty bookmarks come last.
    virtual int CompareBookmarks(const TBookmark& a, const TBookmark& b) const;

    // Locate makes the first record whose `keyFields` (";"-separated) equal `keyValues` (one
    // value per key field) current and gives whether there was one. `OnFilterRecord`, while
    // the dataset is filtered, judges every record a dataset that supports it fetches.
    // Datasets without a search of their own fail with EDatabaseError "Operation not supported".
    virtual bool Locate(std::string_view keyFields, const std::vector<Variant>& keyValues, TLocateOptions options);
    bool Locate(std::string_view keyFields, const Variant& keyValue, TLocateOptions options = {}) {
        return Locate(keyFields, std::vector<Variant>{keyValue}, options);
    }

    // A stream over the value of a blob or memo field of the active record, which the caller
    // frees; what it writes reaches the field when it is freed. Datasets without blob streams
    // fail with EDatabaseError "Operation not supported".
    virtual std::unique_ptr<TStream> CreateBlobStream(TField& field, TBlobStreamMode mode);

    // The data source of the master this dataset follows; none here.
    virtual TDataSource* DataSource() const { return nullptr; }
    // Whether `source` leads, through the masters of its datasets, back to this dataset.
    bool IsLinkedTo(const TDataSource* source) const;

    // Fields.
    TFieldDefs& FieldDefs() { return fieldDefs_; }
    const TFields& Fields() const { return fields_; }
    TField* FindField(std::string_view name) const { return fields_.FindField(name); }
    // Fails with EDatabaseError "Field '%s' not found".
    TField& FieldByName(std::string_view name) const;
    // The fields named in a ";"-separated list, in its order (blanks around names ignored);
    // fails with "Field '%s' not found" for a name the dataset lacks.
    std::vector<TField*> GetFieldList(std::string_view names) const;
    // The values of the fields named in a ";"-separated list: one for one name, one per name
    // for several.
    std::vector<Variant> FieldValues(std::string_view names) const;
    // Writes one value per named field; fails with EDatabaseError when the counts differ
    // (before any field is written).
    void SetFieldValues(std::string_view names, const std::vector<Variant>& values);
    // The values of `resultFields` in the first record whose `keyFields` equal `keyValues`
    // (one value per key field; numbers compare by value, texts exactly, a null key matches
    // nothing); one Null per result field when none does. The base scans the records from
    // the first under DisableControls and returns to the record it stood on, running the
    // scroll events as it goes; datasets that can search faster override it.
    virtual std::vector<Variant> Lookup(std::string_view keyFields, const std::vector<Variant>& keyValues,
                                        std::string_view resultFields);
    bool DefaultFields() const { return defaultFields_; }

    // The filter: an expression in the derived dataset's own syntax, applied by it while
    // Filtered is true. The base only keeps both (empty and false by default); a dataset that
    // filters overrides the setters and calls these to store the new values.
    const std::string& Filter() const { return filterText_; }
    virtual void SetFilterText(std::string text) { filterText_ = std::move(text); }
    bool Filtered() const { return filtered_; }
    virtual void SetFiltered(bool filtered) { filtered_ = filtered; }

    // Data sources are told of every change until DisableControls; EnableControls (as many
    // times as DisableControls ran) tells them the whole dataset changed.
    void DisableControls() { ++disableCount_; }
    void EnableControls();
    bool ControlsDisabled() const { return disableCount_ > 0; }

    // Used by field objects: reads or writes a field of the active record.
    virtual bool GetFieldData(TField& field, void* buffer) = 0;
    virtual void SetFieldData(TField& field, const void* buffer) = 0;
    // Sends a notification to the fields and data sources (deFieldChange carries the field).
    void DataEvent(TDataEvent event, TField* field = nullptr);

    bool ReadProperty(std::string_view name, const StoredValue& value, DefinitionReader& reader) override;

    bool AutoCalcFields = true;
    TDataSetNotifyEvent BeforeOpen, AfterOpen, BeforeClose, AfterClose;
    TDataSetNotifyEvent BeforeInsert, AfterInsert, BeforeEdit, AfterEdit;
    TDataSetNotifyEvent BeforePost, AfterPost, BeforeCancel, AfterCancel;
    TDataSetNotifyEvent BeforeDelete, AfterDelete, BeforeScroll, AfterScroll;
    TDataSetNotifyEvent OnNewRecord, OnCalcFields;
    TDataSetErrorEvent OnEditError, OnPostError, OnDeleteError;
    TFilterRecordEvent OnFilterRecord;

protected:
    void Loaded() override;

    // Opening and closing. OpenCursor runs InternalOpen; derived classes may prepare their
    // cursor before calling it. A dataset whose cursor is not open afterwards stays closed.
    virtual void OpenCursor() { InternalOpen(); }
    virtual void CloseCursor() { InternalClose(); }
    virtual void InternalOpen() = 0;
    virtual void InternalClose() = 0;
    virtual bool IsCursorOpen() const = 0;
    // Called by InternalOpen implementations: default fields when none are attached, then binding.
    void CreateAndBindFields();
    // Called by InternalClose implementations: unbinding, and freeing default fields.
    void DestroyDefaultFields();

    // Record buffers.
    virtual std::unique_ptr<TRecordBuffer> AllocRecordBuffer() = 0;
    virtual TGetResult GetRecord(TRecordBuffer& buffer, TGetMode mode) = 0;
    virtual void InternalInitRecord(TRecordBuffer& buffer) = 0;
    virtual void ClearCalcFields(TRecordBuffer&) {}
    virtual void InternalFirst() = 0;
    virtual void InternalLast() = 0;
    virtual void InternalSetToRecord(TRecordBuffer& buffer) = 0;
    virtual TBookmarkFlag GetBookmarkFlag(const TRecordBuffer& buffer) const = 0;
    virtual void SetBookmarkFlag(TRecordBuffer& buffer, TBookmarkFlag flag) = 0;
    virtual TBookmark GetBookmarkData(const TRecordBuffer& buffer) const = 0;
    virtual void InternalGotoBookmark(const TBookmark& bookmark) = 0;

    // Changing records.
    virtual bool GetCanModify() const { return true; }
    virtual void InternalEdit() {}
    virtual void InternalInsert() {}
    virtual void InternalPost() = 0;
    virtual void InternalCancel() {}
    virtual void InternalDelete() = 0;
    virtual void InternalAddRecord(TRecordBuffer& buffer, bool append) = 0;
    virtual void InternalRefresh() {}
    // An exception escaped a notification handler; the default passes it on.
    virtual void InternalHandleException() { throw; }

    // Notifications around opening, closing and changing records. Each runs its event;
    // a derived class that extends one calls the base first.
    virtual void DoAfterClose() { Fire(AfterClose); }
    virtual void DoAfterDelete() { Fire(AfterDelete); }
    virtual void DoAfterOpen() { Fire(AfterOpen); }
    virtual void DoAfterPost() { Fire(AfterPost); }
    virtual void DoBeforeDelete() { Fire(BeforeDelete); }
    virtual void DoBeforeEdit() { Fire(BeforeEdit); }
    virtual void DoBeforeInsert() { Fire(BeforeInsert); }
    virtual void DoBeforePost() { Fire(BeforePost); }

    virtual int GetRecordCount() const { return -1; }
    virtual int GetRecNo() const { return -1; }
    virtual void SetRecNoValue(int) {}

    // The buffer field reads and writes go to in the current state (null when none).
    TRecordBuffer* ActiveBuffer() const {
        switch (state_) {
            case dsBrowse: return recordCount_ > 0 ? buffers_[static_cast<std::size_t>(activeRecord_)].get() : nullptr;
            case dsEdit:
            case dsInsert: return buffers_[static_cast<std::size_t>(activeRecord_)].get();
            case dsCalcFields: return calcBuffer_;
            default: return nullptr;
        }
    }
    TRecordBuffer* CalcBuffer() const { return calcBuffer_; }
    // Bytes of the calculated-field area (1 flag byte plus the data of each calculated field).
    std::size_t CalcFieldsSize() const { return calcFieldsSize_; }
    bool HasRecords() const { return recordCount_ > 0; }
    // Computes the lookup fields of `buffer`, then its calculated fields through OnCalcFields.
    void GetCalcFields(TRecordBuffer& buffer);
    // Forgets which buffer the derived cursor stands on (after it moved on its own).
    void CursorPosChanged() { currentRecord_ = -1; }
    // Puts the derived cursor on the active record.
    void UpdateCursorPos();
    void SetTempState(TDataSetState state) { state_ = state; }
    // A record buffer of the dataset's own that no window position uses (searches fill it).
    TRecordBuffer& TempBuffer() { return *tempBuffer_; }
    // Runs `read` in the calculated-fields state over `buffer`, whose calculated fields are
    // computed first; the previous state returns afterwards, also when `read` fails.
    void WithCalcFieldsOf(TRecordBuffer& buffer, const std::function<void()>& read);
    // Re-reads the window around the derived cursor's record; `exact` fails with
    // EDatabaseError "Record not found" when the cursor stands on no record.
    void Resync(bool exact);
    void FireBeforeScroll() { Fire(BeforeScroll); }
    void FireAfterScroll() { Fire(AfterScroll); }

private:
    friend class TDataSource;
    friend class TDataLink;
    void SetState(TDataSetState state);
    void AllocateBuffers();
    void FreeBuffers();
    void ClearBuffers();
    void ActivateBuffers();
    void SetCurrentRecord(int index);
    bool GetNextRecord();
    bool GetPriorRecord();
    void GetNextRecords();
    void GetPriorRecords();
    void MoveBuffer(int from, int to);
    int BufferCount() const;
    void CheckActive() const {
        if (!Active()) NotActive();
    }
    [[noreturn]] static void NotActive();
    void CheckCanModifyDataSet() const;
    void BeginInsertAppend();
    void EndInsertAppend();
    void CheckRequiredFields();
    // Runs `operation`, handing failures to `handler` until it stops asking for a retry.
    void WithErrorHandler(const TDataSetErrorEvent& handler, const std::function<void()>& operation);
    void Fire(const TDataSetNotifyEvent& event) {
        if (event) event(*this);
    }
    void BindFields(bool binding);
    void CheckLookupField(const TField& field) const;
    void CalculateLookupFields();
    void AddDataSource(TDataSource& source);
    void RemoveDataSource(TDataSource& source);
    void UpdateBufferCount();

    TDataSetState state_ = dsInactive;
    bool streamedActive_ = false;
    TFieldDefs fieldDefs_;
    TFields fields_;
    std::string filterText_;
    bool filtered_ = false;
    bool defaultFields_ = false;
    std::vector<std::unique_ptr<TRecordBuffer>> buffers_;  // window plus one spare at the end
    int bufferCount_ = 0;
    int recordCount_ = 0;
    int activeRecord_ = 0;
    int currentRecord_ = -1;
    bool bof_ = true;
    bool eof_ = true;
    bool modified_ = false;
    int disableCount_ = 0;
    TRecordBuffer* calcBuffer_ = nullptr;
    std::size_t calcFieldsSize_ = 0;
    std::vector<TDataSource*> dataSources_;
    std::unique_ptr<TRecordBuffer> tempBuffer_;  // the record AppendRecord builds

    friend class TField;
    friend class TFields;
};

}  // namespace pavana
