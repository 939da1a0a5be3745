#include "TParameters.h"

void TParameters::assign(const QStringList& occurrenceNames) {
    m_params.clear();
    m_occurrences.clear();
    for (const QString& name : occurrenceNames) {
        int index = -1;
        for (std::size_t i = 0; i < m_params.size() && index < 0; ++i)
            if (sameName(m_params[i]->Name(), name)) index = static_cast<int>(i);
        if (index < 0) {
            m_params.push_back(std::make_unique<TParameter>(name));
            index = static_cast<int>(m_params.size()) - 1;
        }
        m_occurrences.push_back(index);
    }
}

TParameter& TParameters::Items(int index) const {
    if (index < 0 || index >= Count())
        throw EDatabaseError(QStringLiteral("Parameter index %1 out of range").arg(index));
    return *m_params[static_cast<std::size_t>(m_occurrences[static_cast<std::size_t>(index)])];
}

TParameter* TParameters::FindParam(const QString& name) const {
    for (const auto& param : m_params)
        if (sameName(param->Name(), name)) return param.get();
    return nullptr;
}

TParameter& TParameters::ParamByName(const QString& name) const {
    if (TParameter* param = FindParam(name)) return *param;
    throw EDatabaseError(QStringLiteral("Parameter '%1' not found").arg(name));
}

std::vector<QVariant> TParameters::values() const {
    std::vector<QVariant> out;
    values(out);
    return out;
}

void TParameters::values(std::vector<QVariant>& out) const {
    out.clear();
    out.reserve(m_occurrences.size());
    for (const int index : m_occurrences) {
        const TParameter& param = *m_params[static_cast<std::size_t>(index)];
        // A NUL would end the text early in a driver that takes C strings, so that "0001\0..."
        // matched the key 0001 there; no code of the database holds one. The texts are looked
        // at in place: a copy out of the variant costs more than the search.
        const QVariant& value = param.Value();
        const bool nul = (value.typeId() == QMetaType::QString &&
                          static_cast<const QString*>(value.constData())->contains(QChar(0))) ||
                         (value.typeId() == QMetaType::QByteArray &&
                          static_cast<const QByteArray*>(value.constData())->contains('\0'));
        if (nul) throw EDatabaseError(QStringLiteral("Parameter '%1' holds a NUL character").arg(param.Name()));
        out.push_back(value);
    }
}
