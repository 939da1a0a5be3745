#pragma once
// Provider: turns the content of a dataset (a query) into a data packet.

#include "TDataSet.h"

class TDataSetProvider : public TComponent {
public:
    explicit TDataSetProvider(QString name = {}) : TComponent(std::move(name)) {}

    TDataSet* DataSet() const { return m_dataSet; }
    void setDataSet(TDataSet* dataSet) { m_dataSet = dataSet; }
    // Field constraints would travel in the packet; no field of this system defines any.
    bool Constraints() const { return m_constraints; }
    void setConstraints(bool constraints) { m_constraints = constraints; }

    // Answers every record of the dataset, with the field descriptors of its persistent fields
    // or else of its columns. A closed dataset is opened for it and closed again afterwards; an
    // open one is packed as it stands and left open.
    QByteArray GetData();

private:
    TDataSet* m_dataSet = nullptr;
    bool m_constraints = true;
};
