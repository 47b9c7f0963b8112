#pragma once
// The line-import wizard ("导入单据明细向导"): step 1 the file, step 2 the file's columns
// matched to the system's fields, step 3 the rows that can be added and those that cannot;
// "完成" hands the rows to the bill, which appends one line per row.
#include "pickers/ImportWizardFiles.h"
#include "pickers/PickerForm.h"

#include <functional>

class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QStackedWidget;
class QTableWidget;

class TBillLoadDetailForm : public TPickerForm {
    Q_OBJECT
public:
    TBillLoadDetailForm(TClientConnection* con, TBillSession session, QWidget* owner = nullptr);

    // Appends the lines to the bill; answers how many were added. Set by the caller.
    std::function<int(const QVector<TImportLine>& lines, const std::function<void(int done)>& progress)> AppendLines;

    int Step() const { return FStep; }
    // "下一步 >": step 1 reads the file, step 2 checks the pairs and matches the rows. False
    // (the user told why) when the wizard stays where it is.
    bool NextStep();
    void PriorStep();
    // "完成": the lines appended; closes with OK.
    bool Finish();

    // Step 2: the current system field paired with the current file field; a pair removed;
    // pairs of equal names.
    void AddPair();
    void RemovePair();
    void AutoAddPairs();
    QVector<TImportPair> Pairs() const { return FPairs; }

    // The file remembered from the last import ("System.ini", section LoadDetail).
    static QString RememberedFile();
    static void RememberFile(const QString& file);
    // Asks for a file ("" when cancelled); tests answer it.
    static std::function<QString(QWidget* parent, const QString& current)> AskFile;

    const TImportSheet& Sheet() const { return FSheet; }
    const TImportMatch& Match() const { return FMatch; }
    int Added() const { return FAdded; }

    // ---- components
    QLabel* laCaption;
    QStackedWidget* Pages;
    QLineEdit* edFileName;
    QPushButton* btnBrowse;
    QListWidget *lbSystemFields, *lbFileFields;
    QPushButton *btnAdd, *btnRemove, *btnAutoAdd;
    QTableWidget* tbPairs;
    QTableWidget* tbLines;
    QPlainTextEdit* edProblems;
    QLabel *laWait, *laProgress;
    QProgressBar* pbProgress;
    QPushButton *btnPrior, *btnNext, *btnFinish, *btnCancel;

private:
    void ShowStep(int step);
    void FillPairs();
    void FillLines();
    int FStep = 1;
    TImportSheet FSheet;
    QVector<TImportPair> FPairs;
    TImportMatch FMatch;
    int FAdded = 0;
};
