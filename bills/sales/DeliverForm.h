#pragma once
// Branch delivery requests and deliveries.
#include "bills/sales/SalesBillForm.h"

#include <QSet>

class TAskDelieverForm : public TSalesBillForm {
    Q_OBJECT
public:
    explicit TAskDelieverForm(QWidget* owner = nullptr);

    void DetailNewRecord(TClientDataSet* ds) override;
    // The line's unit and quantity are kept by the request itself (no prices to follow).
    void DetailFieldChanged(TField* field) override;
    bool ValidateMaster() override;
    bool ValidateDetail() override;
};

class TDeliverForm : public TSalesBillForm {
    Q_OBJECT
public:
    explicit TDeliverForm(QWidget* owner = nullptr);

    void InitNewMaster() override;
    // The transferred quantity and the request's number are shown, never typed.
    void DetailAfterOpen(TClientDataSet* ds) override;
    bool IsColumnReadOnly(const QString& fieldName) override;
    void DetailNewRecord(TClientDataSet* ds) override;
    // Each side's stores are those of its branch; the delivering store one the clerk operates.
    void OnMasterFieldChanged(TField* field) override;
    bool ValidateMaster() override;
    bool ValidateDetail() override;
    // Deliveries the current branch sends or receives, in date and number order.
    int GetFirstBillID() override;
    int GetPriorBillID(const QString& code, const QVariant& billDate) override;
    int GetLastBillID() override;
    int GetNextBillID(const QString& code, const QVariant& billDate) override;

protected:
    // The delivering branch is the bill's own; the receiving one is any other.
    void BranchLists() override;

private:
    int Step(const QString& where, const QString& order, const QString& code, const QVariant& billDate);
    QSet<QString> FShownOnly;
};
