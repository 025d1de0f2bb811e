#include "database_dialog.h"

#include "dialogs.h"

#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace pyrelto {

DatabaseDialog::DatabaseDialog(const DatabaseChoice& choice, QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("DatabaseDialog"));
    setWindowTitle(QStringLiteral("Datenbank"));

    localButton = new QRadioButton(QStringLiteral("&Nur dieser PC (Standard)"), this);
    localButton->setObjectName(QStringLiteral("localButton"));
    serverButton = new QRadioButton(QStringLiteral("&Gemeinsame Datenbank (PostgreSQL)"), this);
    serverButton->setObjectName(QStringLiteral("serverButton"));
    auto* localNote = new QLabel(QStringLiteral("Firmendaten, Adressen und Angebotsbuch liegen in "
                                                "der Datei pyrelto.db im Datenordner des "
                                                "Programms."),
                                 this);
    localNote->setWordWrap(true);

    hostEdit = new QLineEdit(choice.host, this);
    hostEdit->setObjectName(QStringLiteral("hostEdit"));
    hostEdit->setPlaceholderText(QStringLiteral("z. B. buero.local oder 192.168.1.10"));
    portSpin = new QSpinBox(this);
    portSpin->setObjectName(QStringLiteral("portSpin"));
    portSpin->setRange(1, 65535);
    portSpin->setValue(choice.port);
    databaseEdit = new QLineEdit(choice.database, this);
    databaseEdit->setObjectName(QStringLiteral("databaseEdit"));
    userEdit = new QLineEdit(choice.user, this);
    userEdit->setObjectName(QStringLiteral("userEdit"));
    userEdit->setPlaceholderText(QStringLiteral("leer: der Anmeldename"));
    tlsBox = new QComboBox(this);
    tlsBox->setObjectName(QStringLiteral("tlsBox"));
    tlsBox->addItem(QStringLiteral("verschlüsselt, wenn der Server es anbietet (prefer)"));
    tlsBox->addItem(QStringLiteral("nur verschlüsselt (require)"));
    tlsBox->setCurrentIndex(choice.requireTls ? 1 : 0);

    passwordLabel = new QLabel(
        QStringLiteral(
            "Das Kennwort speichert das Programm nicht. Die Verbindung liest es wie jedes "
            "PostgreSQL-Programm aus der Kennwortdatei des Benutzers – unter Windows "
            "%APPDATA%\\postgresql\\pgpass.conf, sonst ~/.pgpass (nur für den Benutzer lesbar) – "
            "mit einer Zeile der Form Host:Port:Datenbank:Benutzer:Kennwort, oder aus einem "
            "Dienst in pg_service.conf."),
        this);
    passwordLabel->setObjectName(QStringLiteral("passwordLabel"));
    passwordLabel->setWordWrap(true);

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("&Server:"), hostEdit);
    form->addRow(QStringLiteral("&Port:"), portSpin);
    form->addRow(QStringLiteral("&Datenbank:"), databaseEdit);
    form->addRow(QStringLiteral("&Benutzer:"), userEdit);
    form->addRow(QStringLiteral("&Verschlüsselung:"), tlsBox);

    testButton = new QPushButton(QStringLiteral("Verbindung &testen"), this);
    testButton->setObjectName(QStringLiteral("testButton"));
    resultLabel = new QLabel(this);
    resultLabel->setObjectName(QStringLiteral("resultLabel"));
    resultLabel->setWordWrap(true);
    resultLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("okButton"));
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("OK"));
    buttons->button(QDialogButtonBox::Cancel)->setObjectName(QStringLiteral("cancelButton"));
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Abbrechen"));

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(localButton);
    layout->addWidget(localNote);
    layout->addWidget(serverButton);
    layout->addLayout(form);
    layout->addWidget(passwordLabel);
    layout->addWidget(testButton);
    layout->addWidget(resultLabel);
    layout->addWidget(buttons);

    connect(serverButton, &QRadioButton::toggled, this, [this](bool on) { serverChosen(on); });
    connect(testButton, &QPushButton::clicked, this, [this] { testConnection(); });
    connect(buttons, &QDialogButtonBox::accepted, this, [this] { accept(); });
    connect(buttons, &QDialogButtonBox::rejected, this, [this] { reject(); });
    (choice.server ? serverButton : localButton)->setChecked(true);
    serverChosen(choice.server);
    resize(520, sizeHint().height());
}

DatabaseChoice DatabaseDialog::choice() const {
    DatabaseChoice choice;
    choice.server = serverButton->isChecked();
    choice.host = hostEdit->text().trimmed();
    choice.port = portSpin->value();
    choice.database = databaseEdit->text().trimmed();
    choice.user = userEdit->text().trimmed();
    choice.requireTls = tlsBox->currentIndex() == 1;
    return choice;
}

void DatabaseDialog::serverChosen(bool server) {
    for (QWidget* field : std::initializer_list<QWidget*>{hostEdit, portSpin, databaseEdit,
                                                          userEdit, tlsBox, passwordLabel})
        field->setEnabled(server);
    resultLabel->clear();
}

void DatabaseDialog::testConnection() {
    const DatabaseChoice chosen = choice();
    if (chosen.server && chosen.host.isEmpty()) {
        resultLabel->setText(QStringLiteral("Bitte den Server angeben."));
        return;
    }
    QApplication::setOverrideCursor(Qt::WaitCursor);
    try {
        openStore(storeUri(chosen));
        resultLabel->setText(QStringLiteral("Verbindung hergestellt."));
    } catch (const std::exception& e) {
        resultLabel->setText(QString::fromUtf8(e.what()));
    }
    QApplication::restoreOverrideCursor();
}

void DatabaseDialog::accept() {
    if (serverButton->isChecked() && hostEdit->text().trimmed().isEmpty()) {
        dialogs().message(this, applicationTitle(), QStringLiteral("Bitte den Server angeben."),
                          Dialogs::Icon::Warning);
        hostEdit->setFocus();
        return;
    }
    QDialog::accept();
}

} // namespace pyrelto
