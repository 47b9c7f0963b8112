#pragma once
// Branch delivery requests and deliveries.
#include "bills/sales/SalesBillForm.h"

class TAskDelieverForm : public TSalesBillForm {
    Q_OBJECT
public:
    explicit TAskDelieverForm(QWidget* owner = nullptr);

    bool ValidateMaster() override;
    bool ValidateDetail() override;
};

class TDeliverForm : public TSalesBillForm {
    Q_OBJECT
public:
    explicit TDeliverForm(QWidget* owner = nullptr);

    void InitNewMaster() override;
    // The delivering branch is the bill's own; the receiving one is any other.
    void MasterAfterOpen(TClientDataSet* ds) override;
    void RefreshFieldState(const QString& fieldName) override;
    // Each side's stores are those of its branch; the delivering store one the clerk operates.
    void OnMasterFieldChanged(TField* field) override;
    bool ValidateMaster() override;
    bool ValidateDetail() override;
    // Deliveries the current branch sends or receives, in date and number order.
    int GetFirstBillID() override;
    int GetPriorBillID(const QString& code, const QVariant& billDate) override;
    int GetLastBillID() override;
    int GetNextBillID(const QString& code, const QVariant& billDate) override;

private:
    void FilterList(const QString& field, const QString& filter);
    void BranchLists();
    int Step(const QString& where, const QString& order, const QString& code, const QVariant& billDate);
};
