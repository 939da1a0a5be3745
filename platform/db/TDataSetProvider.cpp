#include "TDataSetProvider.h"

QByteArray TDataSetProvider::GetData() {
    if (!m_dataSet) throw EDatabaseError(QStringLiteral("%1: missing dataset").arg(Name()));
    if (!m_dataSet->Active()) m_dataSet->Open();
    return m_dataSet->toPacket();
}
