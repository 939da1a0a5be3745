#include "TDataSet.h"

#include "DataPacket.h"
#include "FilterExpression.h"

namespace {
const TFieldValue kNull;
}

TDataSet::TDataSet(QString name) : TComponent(std::move(name)) {}
TDataSet::~TDataSet() = default;

void TDataSet::fail(const QString& message) const {
    throw EDatabaseError(Name().isEmpty() ? message : QStringLiteral("%1: %2").arg(Name(), message));
}

void TDataSet::checkActive() const {
    if (!Active()) fail(QStringLiteral("Cannot perform this operation on a closed dataset"));
}

TField& TDataSet::AddField(const QString& name, TFieldType type, int size) {
    if (Active()) fail(QStringLiteral("Cannot add field '%1' to an open dataset").arg(name));
    if (!m_persistent) {
        m_fields.clear();
        m_spareFields.clear();
    }
    if (FindField(name)) fail(QStringLiteral("Duplicate field name '%1'").arg(name));
    m_persistent = true;
    m_fields.push_back(
        std::make_unique<TField>(*this, TFieldDesc{name, type, type == TFieldType::ftString ? size : 0}));
    return *m_fields.back();
}

TField& TDataSet::Fields(int index) const {
    if (index < 0 || index >= FieldCount()) fail(QStringLiteral("Field index %1 out of range").arg(index));
    return *m_fields[static_cast<std::size_t>(index)];
}

TField* TDataSet::FindField(const QString& name) const {
    for (const auto& field : m_fields)
        if (sameName(field->FieldName(), name)) return field.get();
    return nullptr;
}

TField& TDataSet::FieldByName(const QString& name) const {
    if (TField* field = FindField(name)) return *field;
    fail(QStringLiteral("Field '%1' not found").arg(name));
}

std::vector<TFieldDesc> TDataSet::fieldDescs() const {
    std::vector<TFieldDesc> descs;
    descs.reserve(m_fields.size());
    for (const auto& field : m_fields) descs.push_back(field->desc());
    return descs;
}

int TDataSet::indexOfField(const TField* field) const {
    for (std::size_t i = 0; i < m_fields.size(); ++i)
        if (m_fields[i].get() == field) return static_cast<int>(i);
    return -1;
}

void TDataSet::setActive(bool active) {
    if (active)
        Open();
    else
        Close();
}

void TDataSet::Open() {
    if (Active()) return;
    doOpen();
}

void TDataSet::Close() {
    if (!Active()) return;
    doClose();
    m_state = TDataSetState::dsInactive;
    keepRecords(m_rows);
    m_rows.clear();
    m_view.clear();
    m_buffer.clear();
    m_filter.reset();
    m_pos = 0;
    m_eof = m_bof = true;
    if (!m_persistent) {
        // Kept aside for the next content: a query opened again has the same columns.
        m_spareFields = std::move(m_fields);
        m_fields.clear();
    }
}

void TDataSet::keepRecords(std::vector<TRecord>& records) {
    if (!m_reuseRecords) return;
    constexpr std::size_t kKept = 4096;
    for (TRecord& record : records) {
        if (m_spareRecords.size() >= kKept) break;
        record.clear();
        m_spareRecords.push_back(std::move(record));
    }
}

TRecord TDataSet::spareRecord(std::size_t size) {
    if (m_spareRecords.empty()) return TRecord(size);
    TRecord record = std::move(m_spareRecords.back());
    m_spareRecords.pop_back();
    record.resize(size);
    return record;
}

void TDataSet::setContent(const std::vector<TFieldDesc>& columns, std::vector<TRecord>&& rows) {
    if (Active()) Close();
    if (m_persistent) {
        // Keep the declared fields, in their order, each filled from the column of its name.
        // The same columns as last time (a query run again) map the same way.
        if (columns != m_mappedColumns) {
            std::vector<int> mapping(m_fields.size());
            for (std::size_t f = 0; f < m_fields.size(); ++f) {
                const QString& name = m_fields[f]->FieldName();
                int found = -1;
                for (std::size_t c = 0; c < columns.size() && found < 0; ++c)
                    if (sameName(columns[c].name, name)) found = static_cast<int>(c);
                if (found < 0) fail(QStringLiteral("Field '%1' not found in the data").arg(name));
                mapping[f] = found;
            }
            m_mappedColumns = columns;
            m_mappedSource = std::move(mapping);
        }
        const std::vector<int>& source = m_mappedSource;
        bool identical = columns.size() == m_fields.size();
        for (std::size_t f = 0; identical && f < m_fields.size(); ++f)
            identical = source[f] == static_cast<int>(f) && columns[f].type == m_fields[f]->DataType();
        if (identical) {
            m_rows = std::move(rows);
            cutWideTexts(columns);
        } else {
            m_rows.clear();
            m_rows.reserve(rows.size());
            for (TRecord& row : rows) {
                TRecord mapped = spareRecord(m_fields.size());
                for (std::size_t f = 0; f < m_fields.size(); ++f) {
                    TFieldValue& value = row[static_cast<std::size_t>(source[f])];
                    // Each column feeds one field at most, so a value of the field's type moves.
                    if (value.index() == static_cast<std::size_t>(m_fields[f]->DataType()))
                        mapped[f] = m_fields[f]->convert(std::move(value));
                    else
                        mapped[f] = m_fields[f]->convert(value);
                }
                m_rows.push_back(std::move(mapped));
            }
            keepRecords(rows);
        }
    } else {
        // The fields of the last content serve again when the columns are the same, as new.
        bool same = m_spareFields.size() == columns.size();
        for (std::size_t c = 0; same && c < columns.size(); ++c) same = m_spareFields[c]->desc() == columns[c];
        if (same) {
            m_fields = std::move(m_spareFields);
            for (const auto& field : m_fields) field->resetAttributes();
        } else {
            m_fields.clear();
            for (const TFieldDesc& column : columns) m_fields.push_back(std::make_unique<TField>(*this, column));
        }
        m_spareFields.clear();
        m_rows = std::move(rows);
        cutWideTexts(columns);
    }
    m_state = TDataSetState::dsBrowse;
    try {
        applyFilter();
    } catch (...) {
        Close();
        throw;
    }
    First();
}

void TDataSet::cutWideTexts(const std::vector<TFieldDesc>& columns) {
    // Texts wider than their field are cut to the width, as a field does with every value it
    // takes. Only a field narrower than its column can meet one: every source (packets, the
    // drivers) keeps texts within their column's width. Fields and columns correspond one to one.
    for (std::size_t f = 0; f < m_fields.size(); ++f) {
        if (m_fields[f]->DataType() != TFieldType::ftString || m_fields[f]->Size() <= 0) continue;
        if (columns[f].size > 0 && columns[f].size <= m_fields[f]->Size()) continue;
        const auto width = static_cast<std::size_t>(m_fields[f]->Size());
        for (TRecord& row : m_rows)
            if (auto* text = std::get_if<std::string>(&row[f]); text && text->size() > width)
                utf8Truncate(*text, width);
    }
}

void TDataSet::createEmpty(const std::vector<TFieldDesc>& descs) {
    setContent(m_persistent ? fieldDescs() : descs, {});
}

bool TDataSet::recordMatches(const TRecord& record) const { return !m_filter || m_filter->matches(record); }

void TDataSet::applyFilter() {
    m_filter.reset();
    if (Active() && m_filtered && !m_filterText.trimmed().isEmpty()) {
        m_filter = FilterExpression::compile(m_filterText,
                                             [this](const QString& name) -> std::optional<std::pair<int, TFieldType>> {
                                                 if (const TField* field = FindField(name))
                                                     return std::make_pair(indexOfField(field), field->DataType());
                                                 return std::nullopt;
                                             });
    }
    rebuildView();
}

void TDataSet::rebuildView() {
    m_view.clear();
    m_view.reserve(m_rows.size());
    for (std::size_t i = 0; i < m_rows.size(); ++i)
        if (recordMatches(m_rows[i])) m_view.push_back(static_cast<int>(i));
}

void TDataSet::setFilter(const QString& expression) {
    const QString previous = m_filterText;
    m_filterText = expression;
    if (Active() && m_filtered) {
        checkBrowseMode();
        try {
            applyFilter();
        } catch (...) {
            m_filterText = previous;
            applyFilter();
            throw;
        }
        First();
    }
}

void TDataSet::setFiltered(bool filtered) {
    if (filtered == m_filtered) return;
    m_filtered = filtered;
    if (Active()) {
        checkBrowseMode();
        try {
            applyFilter();
        } catch (...) {
            m_filtered = !filtered;
            applyFilter();
            throw;
        }
        First();
    }
}

void TDataSet::setCursor(int position) {
    m_pos = position;
    m_bof = m_eof = m_view.empty();
}

void TDataSet::checkBrowseMode() {
    checkActive();
    if (m_state == TDataSetState::dsEdit || m_state == TDataSetState::dsInsert) Post();
}

void TDataSet::First() {
    checkBrowseMode();
    setCursor(0);
    m_bof = true;
}

void TDataSet::Last() {
    checkBrowseMode();
    setCursor(m_view.empty() ? 0 : static_cast<int>(m_view.size()) - 1);
    m_eof = true;
}

void TDataSet::Next() {
    checkBrowseMode();
    if (m_pos + 1 < static_cast<int>(m_view.size())) {
        ++m_pos;
        m_bof = m_eof = false;
    } else {
        m_eof = true;  // the last record stays current
    }
}

void TDataSet::Prior() {
    checkBrowseMode();
    if (m_pos > 0 && !m_view.empty()) {
        --m_pos;
        m_bof = m_eof = false;
    } else {
        m_bof = true;
    }
}

bool TDataSet::IsEmpty() const { return m_view.empty(); }

int TDataSet::RecordCount() const {
    checkActive();
    return static_cast<int>(m_view.size());
}

int TDataSet::RecNo() const {
    if (!Active() || m_view.empty()) return 0;
    return m_pos + 1;
}

const TFieldValue& TDataSet::fieldValue(int index) const {
    if (index < 0 || index >= FieldCount()) return kNull;
    if (m_state == TDataSetState::dsEdit || m_state == TDataSetState::dsInsert)
        return m_buffer[static_cast<std::size_t>(index)];
    if (m_view.empty() || !Active()) return kNull;
    return m_rows[static_cast<std::size_t>(m_view[static_cast<std::size_t>(m_pos)])][static_cast<std::size_t>(index)];
}

void TDataSet::setFieldValue(int index, TFieldValue value) {
    if (m_state != TDataSetState::dsEdit && m_state != TDataSetState::dsInsert)
        fail(QStringLiteral("Dataset not in edit or insert mode"));
    m_buffer.at(static_cast<std::size_t>(index)) = std::move(value);
}

void TDataSet::Insert() {
    checkBrowseMode();
    if (!canModify()) fail(QStringLiteral("Cannot modify a read-only dataset"));
    m_buffer.assign(m_fields.size(), TFieldValue{});
    m_appending = m_view.empty();
    m_state = TDataSetState::dsInsert;
}

void TDataSet::Append() {
    checkBrowseMode();
    if (!canModify()) fail(QStringLiteral("Cannot modify a read-only dataset"));
    m_buffer.assign(m_fields.size(), TFieldValue{});
    m_appending = true;
    m_state = TDataSetState::dsInsert;
}

void TDataSet::Edit() {
    checkActive();
    if (m_state == TDataSetState::dsEdit || m_state == TDataSetState::dsInsert) return;
    if (!canModify()) fail(QStringLiteral("Cannot modify a read-only dataset"));
    if (m_view.empty()) {
        Append();
        return;
    }
    m_buffer = m_rows[static_cast<std::size_t>(m_view[static_cast<std::size_t>(m_pos)])];
    m_state = TDataSetState::dsEdit;
}

void TDataSet::Post() {
    checkActive();
    if (m_state == TDataSetState::dsBrowse) return;
    std::size_t row;
    if (m_state == TDataSetState::dsEdit) {
        row = static_cast<std::size_t>(m_view[static_cast<std::size_t>(m_pos)]);
        m_rows[row] = std::move(m_buffer);
    } else {
        row = m_appending || m_view.empty() ? m_rows.size()
                                            : static_cast<std::size_t>(m_view[static_cast<std::size_t>(m_pos)]);
        m_rows.insert(m_rows.begin() + static_cast<std::ptrdiff_t>(row), std::move(m_buffer));
    }
    m_buffer.clear();
    m_state = TDataSetState::dsBrowse;
    rebuildView();
    // The posted record becomes current; when the filter hides it, the record now at its
    // place (or the last one) does.
    int position = 0;
    while (position < static_cast<int>(m_view.size()) &&
           m_view[static_cast<std::size_t>(position)] < static_cast<int>(row))
        ++position;
    setCursor(std::min(position, std::max(0, static_cast<int>(m_view.size()) - 1)));
}

void TDataSet::Cancel() {
    if (m_state != TDataSetState::dsEdit && m_state != TDataSetState::dsInsert) return;
    m_buffer.clear();
    m_state = TDataSetState::dsBrowse;
    m_bof = m_eof = m_view.empty();
}

void TDataSet::Delete() {
    checkActive();
    if (!canModify()) fail(QStringLiteral("Cannot modify a read-only dataset"));
    if (m_state == TDataSetState::dsInsert) return Cancel();
    Cancel();
    if (m_view.empty()) fail(QStringLiteral("Cannot perform this operation on an empty dataset"));
    const auto row = static_cast<std::size_t>(m_view[static_cast<std::size_t>(m_pos)]);
    m_rows.erase(m_rows.begin() + static_cast<std::ptrdiff_t>(row));
    rebuildView();
    setCursor(std::min(m_pos, std::max(0, static_cast<int>(m_view.size()) - 1)));
}

QByteArray TDataSet::toPacket() const {
    checkActive();
    // A query packed after every run has the same fields each time: their check and their
    // names' UTF-8 form are made once.
    const auto unchanged = [this] {
        const std::vector<TFieldDesc>& checked = m_packetFields->fields();
        if (checked.size() != m_fields.size()) return false;
        for (std::size_t i = 0; i < checked.size(); ++i)
            if (!(checked[i] == m_fields[i]->desc())) return false;
        return true;
    };
    if (!m_packetFields || !unchanged()) m_packetFields = std::make_unique<TPacketFields>(fieldDescs());
    return encodePacket(*m_packetFields, m_rows);
}
