#include "core/frmDisplayError.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

frmDisplayError::frmDisplayError(QWidget* parent) : QDialog(parent) {
    setObjectName("frmDisplayError");
    setWindowTitle("Dalvane 4.5 Error Details");
    lblError = new QLabel("Error &Details", this);
    txtErrorReport = new QPlainTextEdit(this);
    txtErrorReport->setObjectName("txtErrorReport");
    txtErrorReport->setReadOnly(true);
    lblError->setBuddy(txtErrorReport);
    cmdClose = new QPushButton("&Close", this);
    cmdClose->setObjectName("cmdClose");
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lblError);
    layout->addWidget(txtErrorReport);
    layout->addWidget(cmdClose, 0, Qt::AlignRight);
    resize(520, 360);
    connect(cmdClose, &QPushButton::clicked, this, &frmDisplayError::cmdClose_Click);
}

void frmDisplayError::DisplayError(const std::string& text) {
    txtErrorReport->setPlainText(QString::fromStdString(text));
    exec();
}

void frmDisplayError::cmdClose_Click() { accept(); }
