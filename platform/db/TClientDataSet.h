#pragma once
// Client dataset: an in-memory table loaded from a data packet or a packet file, or created
// empty from its persistent fields or field definitions; its content is exported as a packet.

#include "TDataSet.h"

class TClientDataSet : public TDataSet {
public:
    explicit TClientDataSet(QString name = {});

    // The content as a data packet; assigning loads the packet and opens the dataset on its
    // first record (EPacketError for a bad packet, EDatabaseError for a missing field).
    QByteArray Data() const { return toPacket(); }
    void setData(const QByteArray& packet);
    // Only a regular file loads: anything else at the path (a directory, FIFO, device) fails at
    // once with EDatabaseError naming it, as does an unreadable file.
    void LoadFromFile(const QString& fileName);
    void SaveToFile(const QString& fileName) const;  // replaces the file atomically

    // Field definitions for CreateDataSet when there are no persistent fields.
    std::vector<TFieldDesc>& FieldDefs() { return m_fieldDefs; }
    // Opens the dataset empty, with its persistent fields or else its field definitions.
    void CreateDataSet();

protected:
    void doOpen() override;

private:
    std::vector<TFieldDesc> m_fieldDefs;
    QByteArray m_pendingData;
};
