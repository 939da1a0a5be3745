#include "TDataSetProvider.h"

QByteArray TDataSetProvider::GetData() {
    if (!m_dataSet) throw EDatabaseError(QStringLiteral("%1: missing dataset").arg(Name()));
    if (m_dataSet->Active()) return m_dataSet->toPacket();
    // A dataset opened here is closed again, so that the next call runs its statement afresh.
    m_dataSet->Open();
    struct CloseAgain {
        TDataSet* dataSet;
        ~CloseAgain() { dataSet->Close(); }
    } closeAgain{m_dataSet};
    return m_dataSet->toPacket();
}
