// Properties of the current connection: names, engine, connection string with every password
// masked, object counts, import date and user, and server facts of its structure.
#pragma once

#include <QDialog>

#include <string>

class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

class frmProperties : public QDialog {
    Q_OBJECT
public:
    explicit frmProperties(QWidget* parent = nullptr);

    QGroupBox* fraHeadline1 = nullptr;
    QLabel* lblDatabaseNameValue = nullptr;
    QLabel* lblServerNameValue = nullptr;
    QLabel* lblServerTypeValue = nullptr;
    QGroupBox* fraConnectionString = nullptr;
    QLineEdit* txtConnectionString = nullptr;
    QGroupBox* fraAdditionalInfo = nullptr;
    QLabel* lblLangValue = nullptr;
    QLabel* lblMaxConnValue = nullptr;
    QLabel* lblMaxPrecision = nullptr;
    QLabel* lblTimeOutValue = nullptr;
    QGroupBox* fraSummary = nullptr;
    QLabel* lblTablesCount = nullptr;
    QLabel* lblIndexesCount = nullptr;
    QLabel* lblTriggersCount = nullptr;
    QLabel* lblViewsCount = nullptr;
    QLabel* lblStoredProceduresCount = nullptr;
    QGroupBox* fraReport = nullptr;
    QLabel* lblCreatedOnValue = nullptr;
    QLabel* lblCreatedByValue = nullptr;
    QLabel* pctDatabase = nullptr;
    QPushButton* btnClose = nullptr;

    void Form_Load();
    void PopulateDBProperties();
    void btnClose_Click();

    // The connection string with the value of every password keyword ("password", "pwd",
    // also inside longer keywords) shown as "Password=******", of any other secret keyword as
    // "keyword=******"; quoted values are masked whole.
    static std::string MaskPasswords(const std::string& connectionString);
};

// Shows the properties of the current connection modally over owner.
void ShowConnectionProperties(QWidget* owner);
