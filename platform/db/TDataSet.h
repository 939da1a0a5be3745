#pragma once
// In-memory table with a current-record cursor: the common base of client datasets and
// queries. It holds every record, its fields (persistent ones declared before opening, or
// fields made from the content), editing with an edit buffer, and an optional filter.
// Every misuse (a missing field, editing a closed or read-only dataset, a bad filter) throws
// EDatabaseError with a message naming the dataset and what is wrong.

#include "DbTypes.h"
#include "TComponent.h"
#include "TField.h"

#include <QByteArray>
#include <memory>

class FilterExpression;
class TPacketFields;

enum class TDataSetState { dsInactive, dsBrowse, dsEdit, dsInsert };

class TDataSet : public TComponent {
public:
    explicit TDataSet(QString name = {});
    ~TDataSet() override;

    // Persistent fields: declared while the dataset is closed; they stay across Close and
    // Open and decide which columns the dataset keeps, in their order.
    TField& AddField(const QString& name, TFieldType type, int size = 0);
    bool hasPersistentFields() const { return m_persistent; }

    int FieldCount() const { return static_cast<int>(m_fields.size()); }
    TField& Fields(int index) const;
    TField& FieldByName(const QString& name) const;  // case-insensitive; throws when absent
    TField* FindField(const QString& name) const;
    std::vector<TFieldDesc> fieldDescs() const;

    bool Active() const { return m_state != TDataSetState::dsInactive; }
    void setActive(bool active);
    void Open();
    void Close();
    TDataSetState State() const { return m_state; }

    void First();
    void Next();
    void Prior();
    void Last();
    bool Eof() const { return m_eof; }
    bool Bof() const { return m_bof; }
    bool IsEmpty() const;
    int RecordCount() const;  // records that pass the filter
    int RecNo() const;        // 1-based position among them, 0 when there is none

    void Insert();  // new record before the current one
    void Append();  // new record at the end
    void Edit();
    void Post();
    void Cancel();
    void Delete();

    const QString& Filter() const { return m_filterText; }
    void setFilter(const QString& expression);
    bool Filtered() const { return m_filtered; }
    void setFiltered(bool filtered);

    // Every record (filter ignored) with the fields' descriptors, as a data packet.
    QByteArray toPacket() const;
    const std::vector<TRecord>& records() const { return m_rows; }

    // Used by TField.
    const TFieldValue& fieldValue(int index) const;
    void setFieldValue(int index, TFieldValue value);
    int indexOfField(const TField* field) const;

protected:
    // Fills the dataset on Open: the subclass calls setContent.
    virtual void doOpen() = 0;
    virtual bool canModify() const { return true; }
    virtual void doClose() {}

    // Takes the given content: maps it onto the persistent fields when there are any (by name,
    // converting values and cutting texts; a persistent field without a column throws),
    // otherwise makes one field per column. Leaves the dataset open on its first record.
    void setContent(const std::vector<TFieldDesc>& columns, std::vector<TRecord>&& rows);
    // Opens the dataset empty with its persistent fields, or with the given descriptors.
    void createEmpty(const std::vector<TFieldDesc>& descs);

    // Emptied records kept for the next content where m_reuseRecords is set (a query, run again
    // and again), instead of allocating them anew; a few thousand at most.
    bool m_reuseRecords = false;
    std::vector<TRecord> m_spareRecords;

    [[noreturn]] void fail(const QString& message) const;
    void checkActive() const;

private:
    void keepRecords(std::vector<TRecord>& records);
    TRecord spareRecord(std::size_t size);
    void cutWideTexts(const std::vector<TFieldDesc>& columns);
    void rebuildView();
    bool recordMatches(const TRecord& record) const;
    void applyFilter();
    void checkBrowseMode();
    void setCursor(int position);

    std::vector<std::unique_ptr<TField>> m_fields;
    std::vector<std::unique_ptr<TField>> m_spareFields;  // fields made from the last content, closed
    bool m_persistent = false;
    std::vector<TFieldDesc> m_mappedColumns;  // the columns last mapped onto persistent fields
    std::vector<int> m_mappedSource;          // column index of each persistent field
    std::vector<TRecord> m_rows;
    std::vector<int> m_view;  // indexes into m_rows of the records that pass the filter
    int m_pos = 0;            // position in m_view
    bool m_eof = true;
    bool m_bof = true;
    TDataSetState m_state = TDataSetState::dsInactive;
    TRecord m_buffer;  // the record being edited or inserted
    bool m_appending = false;
    QString m_filterText;
    bool m_filtered = false;
    std::unique_ptr<FilterExpression> m_filter;
    // The fields as toPacket last checked them, kept while they stay the same.
    mutable std::unique_ptr<TPacketFields> m_packetFields;
};
