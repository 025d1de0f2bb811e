// The window's offer commands with real forms, real settings and data files in temporary folders,
// and real PDFs read back with pdftotext; only the dialogs are fakes.

#include "MainUnit.h"
#include "cli.h"
#include "cli_qt_steps.h"
#include "decimal_text.h"
#include "firm_data_dialog.h"
#include "offer_dialog.h"
#include "offer_service.h"
#include "pdf_reader.h"
#include "program_store.h"
#include "settings_store.h"
#include "store.h"
#include "takeoff_tab.h"
#include "ui_test_support.h"
#include "worked_example.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDateEdit>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QPushButton>
#include <QSettings>
#include <QStandardPaths>
#include <QTest>
#include <gtest/gtest.h>
#include <memory>
#include <sstream>

namespace pyrelto {
namespace {

using test::toStd;

using test::pdfText;

QByteArray contents(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

class OfferCommandsTest : public test::UiTest {
protected:
    void SetUp() override {
        form = std::make_unique<TMainForm>();
        form->show();
        QCoreApplication::processEvents();
        test::enterWorkedExample(form->sheet());
        form->sheet().enter(FieldId::KundeEd, u"Müller");
        ASSERT_EQ(form->sheet().shownText(FieldId::BruttoEd),
                  test::workedExampleShown(FieldId::BruttoEd));
    }
    void TearDown() override {
        form->close();
        form.reset();
    }

    static QString settingsPath() {
        return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
               QLatin1Char('/') + QtSettingsStore::executableBaseName() + QStringLiteral(".conf");
    }
    static QString stored(const QString& key) {
        QSettings settings(settingsPath(), QSettings::IniFormat);
        return settings.value(key).toString();
    }
    // A value of the firm data in the database.
    QString firmValue(const char* name) const {
        const FirmValues values = form->programStore().firmData();
        const auto it = values.find(name);
        return it == values.end() ? QString() : QString::fromStdString(it->second);
    }
    QString dataFolder() const {
        return tempPath(QStringLiteral("xdg_data_home")) +
               QStringLiteral("/Torvane/Pyrelto Kalkulation/");
    }

    // Enters the firm data through "Firmendaten..." with a valid IBAN.
    void storeFirmData() {
        dialogs_.formAnswers.push_back([](QDialog& dialog) {
            auto& firm = dynamic_cast<FirmDataDialog&>(dialog);
            firm.nameEdit->setText(QStringLiteral("Bedachungen Kramer GmbH"));
            firm.contactEdit->setText(QStringLiteral("Jonas Kramer"));
            firm.streetEdit->setText(QStringLiteral("Industriestraße 12"));
            firm.townEdit->setText(QStringLiteral("34117 Kassel"));
            firm.ibanEdit->setText(QStringLiteral("de89 3704 0044 0532 0130 00"));
            firm.bicEdit->setText(QStringLiteral("COBADEFFXXX"));
            firm.accept();
            return firm.result() == QDialog::Accepted;
        });
        form->editFirmDataAction->trigger();
        ASSERT_TRUE(dialogs_.formAnswers.empty());
    }

    // Runs "Angebot erstellen..." with `fill` working on the real form.
    void runOffer(const std::function<void(OfferDialog&)>& fill) {
        dialogs_.formAnswers.push_back([fill](QDialog& dialog) {
            fill(dynamic_cast<OfferDialog&>(dialog));
            return false;
        });
        form->offerButton->click();
        ASSERT_TRUE(dialogs_.formAnswers.empty());
    }

    std::unique_ptr<TMainForm> form;
};

TEST_F(OfferCommandsTest, FourthButtonHasTextPictureAndItsPlace) {
    EXPECT_EQ(form->offerButton->text(), QStringLiteral("Angebot..."));
    EXPECT_FALSE(form->offerButton->icon().isNull());
    EXPECT_GE(form->offerButton->geometry().left(), form->BitBtn13->geometry().right());
}

// A window made as narrow as it goes still shows every button of the bar whole, whatever the
// pages below ask for: the registers' tables hold the window wide today, so they go first.
TEST_F(OfferCommandsTest, ANarrowWindowCutsNoButtonOfTheBar) {
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    while (form->PageControl1->count() > 1)
        form->PageControl1->removeTab(1);
    QCoreApplication::processEvents(); // the window's minimum follows
    form->resize(400, form->height());
    QCoreApplication::processEvents();
    for (QPushButton* button :
         {form->BitBtn11, form->BitBtn12, form->BitBtn13, form->offerButton}) {
        SCOPED_TRACE(toStd(button->objectName()));
        EXPECT_GE(button->width(), button->sizeHint().width()) << "its text is cut";
        const QRect inWindow(button->mapTo(form.get(), QPoint(0, 0)), button->size());
        EXPECT_TRUE(form->rect().contains(inWindow))
            << "the window ends at " << form->width() << ", the button at " << inWindow.right();
    }
}

TEST_F(OfferCommandsTest, FirmDataRefusesAWrongIbanAndKeepsTheWindowsValues) {
    form->close(); // the window's own values are stored now and must stay as they are
    QSettings before(settingsPath(), QSettings::IniFormat);
    before.beginGroup(QStringLiteral("TMainForm"));
    std::map<QString, QString> windowValues;
    for (const QString& key : before.allKeys())
        windowValues[key] = before.value(key).toString();
    ASSERT_FALSE(windowValues.empty());

    dialogs_.formAnswers.push_back([this](QDialog& dialog) {
        auto& firm = dynamic_cast<FirmDataDialog&>(dialog);
        EXPECT_EQ(firm.paymentEdit->toPlainText().toStdU16String(),
                  FirmData::defaultPaymentTerms());
        firm.nameEdit->setText(QStringLiteral("Bedachungen Kramer GmbH"));
        firm.ibanEdit->setText(QStringLiteral("DE89370400440532013001"));
        firm.accept();
        EXPECT_NE(firm.result(), QDialog::Accepted);
        EXPECT_EQ(dialogs_.messages.size(), 1u);
        firm.ibanEdit->setText(QStringLiteral("DE89370400440532013000"));
        firm.accept();
        return firm.result() == QDialog::Accepted;
    });
    form->editFirmDataAction->trigger();
    ASSERT_EQ(dialogs_.messages.size(), 1u);
    EXPECT_TRUE(dialogs_.messages[0].text.contains(QStringLiteral("Prüfziffern")))
        << toStd(dialogs_.messages[0].text);
    EXPECT_EQ(firmValue("Firma"), QStringLiteral("Bedachungen Kramer GmbH"));
    EXPECT_EQ(firmValue("IBAN"), QStringLiteral("DE89 3704 0044 0532 0130 00"));
    // The settings group of earlier versions is left as it was.
    EXPECT_EQ(stored(QStringLiteral("Firmendaten/Firma")), QString());

    QSettings after(settingsPath(), QSettings::IniFormat);
    after.beginGroup(QStringLiteral("TMainForm"));
    for (const auto& [key, value] : windowValues)
        EXPECT_EQ(after.value(key).toString(), value) << toStd(key);
    EXPECT_EQ(after.allKeys().size(), static_cast<qsizetype>(windowValues.size()));

    // A cancelled form stores nothing.
    dialogs_.formAnswers.push_back([](QDialog& dialog) {
        dynamic_cast<FirmDataDialog&>(dialog).nameEdit->setText(QStringLiteral("Andere"));
        return false;
    });
    form->editFirmDataAction->trigger();
    EXPECT_EQ(firmValue("Firma"), QStringLiteral("Bedachungen Kramer GmbH"));
}

TEST_F(OfferCommandsTest, LogoIsCheckedAndCopiedIntoTheProgramDataFolder) {
    const QString damaged = tempPath(QStringLiteral("kaputt.png"));
    {
        QFile f(damaged);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("\x89PNG\r\n\x1a\nno picture");
    }
    const QString good = tempPath(QStringLiteral("firmenlogo.png"));
    QImage logo(120, 40, QImage::Format_RGB32);
    logo.fill(Qt::darkBlue);
    ASSERT_TRUE(logo.save(good));

    dialogs_.fileAnswers = {damaged, tempPath(QStringLiteral("fehlt.svg")), good};
    dialogs_.formAnswers.push_back([](QDialog& dialog) {
        auto& firm = dynamic_cast<FirmDataDialog&>(dialog);
        firm.nameEdit->setText(QStringLiteral("Kramer"));
        for (int i = 0; i < 3; ++i)
            firm.chooseLogo();
        EXPECT_EQ(firm.logoLabel->text(), QStringLiteral("firmenlogo.png"));
        firm.accept();
        return firm.result() == QDialog::Accepted;
    });
    form->editFirmDataAction->trigger();
    ASSERT_EQ(dialogs_.messages.size(), 2u);
    EXPECT_TRUE(dialogs_.messages[0].text.contains(QStringLiteral("beschädigt")))
        << toStd(dialogs_.messages[0].text);
    EXPECT_TRUE(dialogs_.messages[1].text.contains(QStringLiteral("nicht gefunden")))
        << toStd(dialogs_.messages[1].text);

    const QString copy = dataFolder() + QStringLiteral("logo.png");
    EXPECT_EQ(firmValue("Logo"), copy);
    EXPECT_EQ(contents(copy), contents(good));
    // The original may go: the offer uses the copy. When the copy is damaged later, the offer
    // is still made, without the logo, and the user is told.
    ASSERT_TRUE(QFile::remove(good));
    {
        QFile f(copy);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write("damaged");
    }
    const QString pdf = tempPath(QStringLiteral("angebot.pdf"));
    dialogs_.fileAnswers = {pdf};
    runOffer([](OfferDialog& offer) { offer.pdfButton->click(); });
    ASSERT_EQ(dialogs_.messages.size(), 3u);
    EXPECT_EQ(dialogs_.messages[2].icon, Dialogs::Icon::Warning);
    EXPECT_TRUE(dialogs_.messages[2].text.contains(QStringLiteral("ohne Logo")))
        << toStd(dialogs_.messages[2].text);
    EXPECT_TRUE(pdfText(pdf).contains(QStringLiteral("578,63 €")));
}

// A large logo (a photo straight from the camera, 7,000 × 7,000 pixels) is no damaged file: it is
// scaled down as it is copied in and printed. One beyond any use is refused by its size.
TEST_F(OfferCommandsTest, LargeLogoIsScaledDownAndAHugeOneNamedTooLarge) {
    const QString large = tempPath(QStringLiteral("gross.png"));
    {
        QImage logo(7000, 7000, QImage::Format_RGB32);
        logo.fill(QColor(200, 30, 30));
        ASSERT_TRUE(logo.save(large));
    }
    // A PNG whose header claims 30,000 × 30,000 pixels; its check sums are right, the picture
    // data is a stub.
    const QString huge = tempPath(QStringLiteral("riesig.png"));
    {
        const auto bigEndian = [](QByteArray& bytes, quint32 value) {
            for (int shift = 24; shift >= 0; shift -= 8)
                bytes.append(static_cast<char>((value >> shift) & 0xffu));
        };
        QByteArray png("\x89PNG\r\n\x1a\n", 8);
        const auto chunk = [&](const QByteArray& typeAndData) {
            bigEndian(png, static_cast<quint32>(typeAndData.size() - 4));
            png.append(typeAndData);
            quint32 crc = 0xffffffffu;
            for (const char byte : typeAndData) {
                crc ^= static_cast<quint8>(byte);
                for (int bit = 0; bit < 8; ++bit)
                    crc = (crc >> 1) ^ (0xedb88320u & (0u - (crc & 1u)));
            }
            bigEndian(png, crc ^ 0xffffffffu);
        };
        QByteArray header("IHDR");
        bigEndian(header, 30000);
        bigEndian(header, 30000);
        header.append(QByteArray("\x08\x02\x00\x00\x00", 5));
        chunk(header);
        chunk(QByteArray("IDAT\x78\x9c\x03\x00", 8));
        chunk(QByteArray("IEND"));
        QFile f(huge);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(png);
    }
    dialogs_.fileAnswers = {huge, large};
    dialogs_.formAnswers.push_back([](QDialog& dialog) {
        auto& firm = dynamic_cast<FirmDataDialog&>(dialog);
        firm.nameEdit->setText(QStringLiteral("Kramer"));
        firm.chooseLogo();
        firm.chooseLogo();
        EXPECT_EQ(firm.logoLabel->text(), QStringLiteral("gross.png"));
        firm.accept();
        return firm.result() == QDialog::Accepted;
    });
    form->editFirmDataAction->trigger();
    ASSERT_EQ(dialogs_.messages.size(), 1u);
    EXPECT_TRUE(dialogs_.messages[0].text.contains(QStringLiteral("30000 × 30000")))
        << toStd(dialogs_.messages[0].text);
    EXPECT_TRUE(dialogs_.messages[0].text.contains(QStringLiteral("zu groß")));

    const QImage copy(dataFolder() + QStringLiteral("logo.png"));
    EXPECT_EQ(copy.size(), QSize(2400, 2400));
    const QString pdf = tempPath(QStringLiteral("angebot.pdf"));
    dialogs_.fileAnswers = {pdf};
    runOffer([](OfferDialog& offer) { offer.pdfButton->click(); });
    EXPECT_EQ(dialogs_.messages.size(), 1u);
    // The logo's red in the top right corner of the page.
    test::runTool(QStringLiteral("pdftoppm"),
                  {QStringLiteral("-r"), QStringLiteral("30"), QStringLiteral("-singlefile"), pdf,
                   tempPath(QStringLiteral("seite"))});
    const QImage page(tempPath(QStringLiteral("seite.ppm")));
    ASSERT_FALSE(page.isNull());
    const QColor corner = page.pixelColor(page.width() * 185 / 210, page.height() * 20 / 297);
    EXPECT_GT(corner.red(), 150);
    EXPECT_LT(corner.green(), 90);
}

TEST_F(OfferCommandsTest, OfferFillsItselfCountsUpAndRemembersTheAddress) {
    storeFirmData();
    const QByteArray optionsBefore = contents(dataFolder() + QStringLiteral("options.dat"));
    const QString year = QString::number(QDate::currentDate().year());
    const QString first = tempPath(QStringLiteral("erstes.pdf"));
    dialogs_.fileAnswers = {first};
    runOffer([&](OfferDialog& offer) {
        EXPECT_EQ(offer.numberEdit->text(), year + QStringLiteral("-001"));
        EXPECT_EQ(offer.dateEdit->date(), QDate::currentDate());
        EXPECT_EQ(offer.validEdit->date(), QDate::currentDate().addDays(28));
        EXPECT_EQ(offer.recipientEdit->text(), QStringLiteral("Müller"));
        EXPECT_TRUE(offer.addressEdit->toPlainText().isEmpty());
        EXPECT_FALSE(offer.noteLabel->isVisibleTo(&offer));
        offer.addressEdit->setPlainText(QStringLiteral("Lindenweg 5\n37073 Göttingen"));
        offer.pdfButton->click();
    });
    ASSERT_EQ(dialogs_.fileRequests.size(), 1u);
    EXPECT_TRUE(dialogs_.fileRequests[0].save);
    EXPECT_EQ(dialogs_.fileRequests[0].suggestedName,
              QStringLiteral("Angebot %1-001 Müller.pdf").arg(year));
    const QString text = pdfText(first);
    for (const QString& expected :
         {QStringLiteral("486,24 €"), QStringLiteral("92,39 €"), QStringLiteral("578,63 €"),
          QStringLiteral("Bedachungen Kramer GmbH"), QStringLiteral("DE89 3704 0044 0532 0130 00"),
          QStringLiteral("Lindenweg 5"), year + QStringLiteral("-001"),
          QDate::currentDate().toString(QStringLiteral("dd.MM.yyyy")),
          QDate::currentDate().addDays(28).toString(QStringLiteral("dd.MM.yyyy"))})
        EXPECT_TRUE(text.contains(expected)) << toStd(expected) << "\n" << toStd(text);
    EXPECT_TRUE(dialogs_.messages.empty());

    // The next offer: the number counted on, the address known. A preview and a cancelled save
    // record nothing.
    dialogs_.fileAnswers = {std::nullopt};
    runOffer([&](OfferDialog& offer) {
        EXPECT_EQ(offer.numberEdit->text(), year + QStringLiteral("-002"));
        EXPECT_TRUE(offer.numberEdit->isReadOnly());
        EXPECT_EQ(offer.addressEdit->toPlainText(), QStringLiteral("Lindenweg 5\n37073 Göttingen"));
        offer.previewButton->click();
        offer.pdfButton->click();
    });
    EXPECT_EQ(dialogs_.previews, 1);
    // Printed and then saved from the same form: two offers, each under a number of its own.
    const QString printed = tempPath(QStringLiteral("gedruckt.pdf"));
    const QString second = tempPath(QStringLiteral("zweites.pdf"));
    dialogs_.fileAnswers = {second};
    runOffer([&](OfferDialog& offer) {
        EXPECT_EQ(offer.numberEdit->text(), year + QStringLiteral("-002"));
        form->printer().setOutputFormat(QPrinter::PdfFormat);
        form->printer().setOutputFileName(printed);
        offer.printButton->click();
        EXPECT_EQ(offer.numberEdit->text(), year + QStringLiteral("-003"));
        offer.addressEdit->setPlainText(QStringLiteral("Lindenweg 7\n37073 Göttingen"));
        offer.pdfButton->click();
        EXPECT_EQ(offer.numberEdit->text(), year + QStringLiteral("-004"));
    });
    EXPECT_TRUE(pdfText(printed).contains(year + QStringLiteral("-002")));
    const QString secondText = pdfText(second);
    EXPECT_TRUE(secondText.contains(year + QStringLiteral("-003")));
    EXPECT_TRUE(secondText.contains(QStringLiteral("Lindenweg 7")));

    Store& store = form->programStore();
    const auto offers = store.offers();
    ASSERT_EQ(offers.size(), 3u);
    for (const auto& offer : offers)
        EXPECT_TRUE(offer.pdfWritten) << offer.number;
    const auto record = store.offer(toStd(year + QStringLiteral("-003")));
    EXPECT_EQ(record->entry.fileName, toStd(second));
    EXPECT_EQ(record->entry.address, "Lindenweg 7\n37073 Göttingen");
    EXPECT_EQ(record->entry.customer, "Müller");
    EXPECT_EQ(record->entry.grossCents, 57863);
    EXPECT_EQ(store.address("Müller"), "Lindenweg 7\n37073 Göttingen");
    EXPECT_EQ(contents(dataFolder() + QStringLiteral("options.dat")), optionsBefore);
    // The addresses are in the database now; the old file is no longer written.
    EXPECT_FALSE(QFile::exists(dataFolder() + QStringLiteral("adressen.dat")));
    EXPECT_TRUE(dialogs_.messages.empty());
}

// The first offer with the database takes over what the settings and the address file held; a
// damaged address file is left out with a warning, once, and stays as it is.
TEST_F(OfferCommandsTest, TakeOverLeavesADamagedAddressFileOutAndTheRestIn) {
    const QString year = QString::number(QDate::currentDate().year());
    {
        QSettings settings(settingsPath(), QSettings::IniFormat);
        settings.setValue(QStringLiteral("Firmendaten/Firma"),
                          QStringLiteral("Bedachungen Kramer GmbH"));
        settings.setValue(QStringLiteral("Angebote/LetzteNummer"), year + QStringLiteral("-014"));
    }
    const QByteArray damaged("\x05\x00\x00\x00\x02\x00", 6);
    ASSERT_TRUE(QDir().mkpath(dataFolder()));
    {
        QFile f(dataFolder() + QStringLiteral("adressen.dat"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(damaged);
    }
    dialogs_.fileAnswers = {tempPath(QStringLiteral("angebot.pdf"))};
    runOffer([&](OfferDialog& offer) {
        EXPECT_EQ(offer.numberEdit->text(), year + QStringLiteral("-015"));
        EXPECT_FALSE(offer.noteLabel->isVisibleTo(&offer)) << "the firm data were taken over";
        EXPECT_TRUE(offer.addressEdit->toPlainText().isEmpty());
        offer.addressEdit->setPlainText(QStringLiteral("Lindenweg 5"));
        offer.pdfButton->click();
    });
    ASSERT_EQ(dialogs_.messages.size(), 1u);
    EXPECT_EQ(dialogs_.messages[0].icon, Dialogs::Icon::Warning);
    EXPECT_TRUE(dialogs_.messages[0].text.contains(QStringLiteral("adressen.dat")))
        << toStd(dialogs_.messages[0].text);
    EXPECT_TRUE(pdfText(tempPath(QStringLiteral("angebot.pdf")))
                    .contains(QStringLiteral("Bedachungen Kramer GmbH")));
    EXPECT_EQ(contents(dataFolder() + QStringLiteral("adressen.dat")), damaged);
    EXPECT_EQ(rememberedAddress(form->programStore(), QStringLiteral("Müller")),
              QStringLiteral("Lindenweg 5"));
    EXPECT_EQ(stored(QStringLiteral("Angebote/LetzteNummer")), year + QStringLiteral("-014"));

    // Another window on the same database: nothing more to take over, nothing more to say.
    form->close();
    form = std::make_unique<TMainForm>();
    form->show();
    runOffer([&](OfferDialog& offer) {
        EXPECT_EQ(offer.numberEdit->text(), year + QStringLiteral("-016"));
    });
    EXPECT_EQ(dialogs_.messages.size(), 1u);
}

// A database that cannot be opened: the offer says why and makes nothing; once it can be opened
// again, the offer works without a restart.
TEST_F(OfferCommandsTest, ADatabaseThatCannotBeOpenedIsReportedAndTriedAgain) {
    ASSERT_TRUE(QDir().mkpath(dataFolder() + QStringLiteral("pyrelto.db")));
    dialogs_.formAnswers.push_back([](QDialog&) { return false; });
    form->offerButton->click();
    EXPECT_EQ(dialogs_.formAnswers.size(), 1u) << "no offer form without the database";
    dialogs_.formAnswers.clear();
    ASSERT_EQ(dialogs_.messages.size(), 1u);
    EXPECT_TRUE(dialogs_.messages[0].text.contains(QStringLiteral("pyrelto.db")))
        << toStd(dialogs_.messages[0].text);
    // The calculation goes on as always.
    form->sheet().enter(FieldId::Dach14Ed, u"30");
    EXPECT_EQ(form->sheet().shownText(FieldId::Dach14Ed), u"30,00");

    ASSERT_TRUE(QDir(dataFolder() + QStringLiteral("pyrelto.db")).removeRecursively());
    dialogs_.fileAnswers = {tempPath(QStringLiteral("angebot.pdf"))};
    runOffer([](OfferDialog& offer) { offer.pdfButton->click(); });
    EXPECT_EQ(dialogs_.messages.size(), 1u);
    EXPECT_EQ(form->programStore().offers().size(), 1u);
}

// The command line's calculation PDF is the window's: with a take-off, its pages follow the sheet.
TEST_F(OfferCommandsTest, CliCalculationPdfCarriesTheTakeOff) {
    const QString json = tempPath(QStringLiteral("dach.json"));
    QFile file(json);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(R"({"faces": [{"name": "Garage", "shape": "rectangle", "length": 6.00,
                              "width": 4.00, "measured": "plan", "pitch": 0}]})");
    file.close();
    const QString fromCli = tempPath(QStringLiteral("kalkulation.pdf"));
    std::ostringstream out;
    std::ostringstream err;
    std::vector<std::string> args = test::workedExampleArguments();
    args.pop_back(); // the area comes from the take-off
    args.insert(args.end(), {"--takeoff", toStd(json), "--calculation-pdf", toStd(fromCli)});
    const auto steps = qtCliSteps();
    ASSERT_EQ(runCli(args, out, err, steps), 0) << err.str();
    const QString text = pdfText(fromCli);
    EXPECT_TRUE(text.contains(QStringLiteral("Aufmaß – Seite 1 von"))) << toStd(text);
    EXPECT_TRUE(text.contains(QStringLiteral("Garage"))) << toStd(text);
    EXPECT_TRUE(text.contains(QStringLiteral("24,00"))) << toStd(text);

    // Without a take-off, the sheet's pages alone.
    const QString plain = tempPath(QStringLiteral("ohne.pdf"));
    args = test::workedExampleArguments();
    args.insert(args.end(), {"--calculation-pdf", toStd(plain)});
    ASSERT_EQ(runCli(args, out, err, steps), 0) << err.str();
    EXPECT_FALSE(pdfText(plain).contains(QStringLiteral("Aufmaß"))) << toStd(pdfText(plain));
}

TEST_F(OfferCommandsTest, CliOfferGivesTheSameTextAsTheDialog) {
    storeFirmData();
    const QString year = QString::number(QDate::currentDate().year());
    const QString fromDialog = tempPath(QStringLiteral("dialog.pdf"));
    const QString fromCli = tempPath(QStringLiteral("cli.pdf"));
    // The first offer keeps the address. While the second dialog is open, the command line makes
    // the same offer on the same database and takes the number the dialog showed; the dialog's
    // offer gets the next one.
    dialogs_.fileAnswers = {tempPath(QStringLiteral("erstes.pdf")), fromDialog};
    runOffer([](OfferDialog& offer) {
        offer.addressEdit->setPlainText(QStringLiteral("Lindenweg 5\n37073 Göttingen"));
        offer.pdfButton->click();
    });
    runOffer([&](OfferDialog& offer) {
        EXPECT_EQ(offer.numberEdit->text(), year + QStringLiteral("-002"));
        std::ostringstream out;
        std::ostringstream err;
        std::vector<std::string> args = test::workedExampleArguments();
        args.insert(args.end(), {"KundeEd=Müller", "--offer", toStd(fromCli)});
        const auto steps = qtCliSteps();
        EXPECT_EQ(runCli(args, out, err, steps), 0) << err.str();
        EXPECT_TRUE(err.str().empty()) << err.str();
        offer.pdfButton->click();
        // The dialog's offer took 003; the form shows the next free number.
        EXPECT_EQ(offer.numberEdit->text(), year + QStringLiteral("-004"));
    });
    QString dialogText = pdfText(fromDialog);
    QString cliText = pdfText(fromCli);
    EXPECT_TRUE(dialogText.contains(QStringLiteral("Lindenweg 5"))) << toStd(dialogText);
    EXPECT_TRUE(dialogText.contains(year + QStringLiteral("-003")));
    EXPECT_TRUE(cliText.contains(year + QStringLiteral("-002")));
    EXPECT_EQ(cliText.replace(year + QStringLiteral("-002"), QStringLiteral("NUMMER")),
              dialogText.replace(year + QStringLiteral("-003"), QStringLiteral("NUMMER")));
}

// An invalid IBAN in the stored firm data (the dialog refuses one, a hand edit does not) never
// reaches the offer: the window and the command line warn, and the offer goes out without it.
TEST_F(OfferCommandsTest, AnInvalidStoredIbanIsLeftOffWithAWarning) {
    storeFirmData();
    {
        // As a hand edit of the database or an earlier version's settings could leave it.
        FirmData firm = firmDataOf(form->programStore());
        firm.iban = u"DE00 3704 0044 0532 0130 00";
        pyrelto::storeFirmData(form->programStore(), firm);
    }
    const QString fromDialog = tempPath(QStringLiteral("dialog.pdf"));
    dialogs_.fileAnswers = {fromDialog};
    runOffer([](OfferDialog& offer) { offer.pdfButton->click(); });
    ASSERT_EQ(dialogs_.messages.size(), 1U);
    EXPECT_EQ(dialogs_.messages[0].icon, Dialogs::Icon::Warning);
    EXPECT_TRUE(dialogs_.messages[0].text.contains(QStringLiteral("IBAN")));
    EXPECT_FALSE(pdfText(fromDialog).contains(QStringLiteral("IBAN")));

    const QString fromCli = tempPath(QStringLiteral("cli.pdf"));
    std::ostringstream out;
    std::ostringstream err;
    const std::vector<std::string> args{"Dach14Ed=24", "KundeEd=Müller", "--offer", toStd(fromCli)};
    const auto steps = qtCliSteps();
    EXPECT_EQ(runCli(args, out, err, steps), 0);
    EXPECT_NE(err.str().find("IBAN"), std::string::npos) << err.str();
    const QString cliText = pdfText(fromCli);
    EXPECT_FALSE(cliText.contains(QStringLiteral("IBAN"))) << toStd(cliText);
    EXPECT_TRUE(cliText.contains(QStringLiteral("Bedachungen Kramer GmbH")));
}

TEST_F(OfferCommandsTest, OfferWithoutFirmDataSaysSoAndStillWorks) {
    const QString pdf = tempPath(QStringLiteral("ohne.pdf"));
    dialogs_.fileAnswers = {pdf};
    // Without a recipient: asked, and sent all the same.
    dialogs_.questionAnswers = {Dialogs::Answer::Yes};
    runOffer([](OfferDialog& offer) {
        EXPECT_TRUE(offer.noteLabel->isVisibleTo(&offer));
        EXPECT_TRUE(offer.noteLabel->text().contains(QStringLiteral("Firmendaten")));
        offer.recipientEdit->clear();
        offer.summaryBox->setChecked(true);
        offer.pdfButton->click();
    });
    EXPECT_EQ(dialogs_.fileRequests.at(0).suggestedName,
              QStringLiteral("Angebot %1-001.pdf").arg(QDate::currentDate().year()));
    const QString text = pdfText(pdf);
    EXPECT_TRUE(text.contains(QStringLiteral("578,63 €"))) << toStd(text);
    EXPECT_FALSE(text.contains(QStringLiteral("Tellerdübel"))) << toStd(text);
    EXPECT_TRUE(dialogs_.messages.empty());

    // A file that cannot be made: the standard error report. The offer stays recorded without
    // its PDF, and the next try in the dialog makes it under the same number.
    const QString year = QString::number(QDate::currentDate().year());
    const QString retried = tempPath(QStringLiteral("angebot.pdf"));
    dialogs_.fileAnswers = {tempPath(QStringLiteral("fehlt/angebot.pdf")), retried};
    runOffer([&](OfferDialog& offer) {
        offer.pdfButton->click();
        ASSERT_EQ(dialogs_.messages.size(), 1u);
        EXPECT_EQ(dialogs_.messages[0].caption, QStringLiteral("Pyrelto Kalkulation"));
        EXPECT_TRUE(dialogs_.messages[0].text.contains(QStringLiteral("angebot.pdf")));
        EXPECT_TRUE(offer.noteLabel->isVisibleTo(&offer));
        EXPECT_TRUE(offer.noteLabel->text().contains(year + QStringLiteral("-002")))
            << toStd(offer.noteLabel->text());
        EXPECT_FALSE(form->programStore().offer(toStd(year + QStringLiteral("-002")))->pdfWritten);
        offer.pdfButton->click();
        EXPECT_EQ(dialogs_.messages.size(), 1u);
    });
    EXPECT_TRUE(pdfText(retried).contains(year + QStringLiteral("-002")));
    const auto record = form->programStore().offer(toStd(year + QStringLiteral("-002")));
    EXPECT_TRUE(record->pdfWritten);
    EXPECT_EQ(record->entry.fileName, toStd(retried));
    EXPECT_EQ(form->programStore().offers().size(), 2u);
    runOffer([&](OfferDialog& offer) {
        EXPECT_EQ(offer.numberEdit->text(), year + QStringLiteral("-003"));
    });
}

// An address longer than the envelope's window: the form says so as it is typed, and before the
// offer goes out the user is asked; going back writes nothing and counts no number.
TEST_F(OfferCommandsTest, LongAddressIsNamedBeforeTheOfferGoesOut) {
    storeFirmData();
    const QString nineLines = QStringLiteral("z. Hd. Frau Weber\nObjekt Lindenweg\nAufgang B\n"
                                             "Postfach 12 34\nHinterhaus links\nDachgeschoss\n"
                                             "Fach 7\n12345 Berlin");
    const QString pdf = tempPath(QStringLiteral("angebot.pdf"));
    dialogs_.questionAnswers = {Dialogs::Answer::No, Dialogs::Answer::Yes};
    dialogs_.fileAnswers = {pdf};
    runOffer([&](OfferDialog& offer) {
        offer.addressEdit->setPlainText(nineLines);
        EXPECT_TRUE(offer.noteLabel->isVisibleTo(&offer));
        EXPECT_TRUE(offer.noteLabel->text().contains(QStringLiteral("9 Zeilen")))
            << toStd(offer.noteLabel->text());
        offer.pdfButton->click();
        EXPECT_TRUE(dialogs_.fileRequests.empty());
        offer.pdfButton->click();
    });
    ASSERT_EQ(dialogs_.questions.size(), 2u);
    EXPECT_EQ(dialogs_.questions[0].defaultAnswer, Dialogs::Answer::No);
    EXPECT_TRUE(dialogs_.questions[0].text.contains(QStringLiteral("12345 Berlin")))
        << toStd(dialogs_.questions[0].text);
    EXPECT_TRUE(pdfText(pdf).contains(QStringLiteral("Hinterhaus links")));
    runOffer([&](OfferDialog& offer) {
        EXPECT_EQ(offer.numberEdit->text(),
                  QStringLiteral("%1-002").arg(QDate::currentDate().year()));
        offer.addressEdit->setPlainText(QStringLiteral("Lindenweg 5\n37073 Göttingen"));
        EXPECT_FALSE(offer.noteLabel->isVisibleTo(&offer));
    });
}

// An offer without recipient, roof area or price is asked about before it goes out; going back
// writes and prints nothing and uses up no number. The preview is never asked about.
TEST_F(OfferCommandsTest, EmptyOfferIsAskedAboutBeforeItGoesOut) {
    form->sheet().enter(FieldId::Dach14Ed, u"0");
    form->sheet().enter(FieldId::KundeEd, u"");
    const QString printed = tempPath(QStringLiteral("gedruckt.pdf"));
    form->printer().setOutputFormat(QPrinter::PdfFormat);
    form->printer().setOutputFileName(printed);
    dialogs_.questionAnswers = {Dialogs::Answer::No, Dialogs::Answer::No};
    runOffer([](OfferDialog& offer) {
        offer.previewButton->click();
        offer.pdfButton->click();
        offer.printButton->click();
    });
    EXPECT_EQ(dialogs_.previews, 1);
    EXPECT_TRUE(dialogs_.fileRequests.empty());
    EXPECT_FALSE(QFile::exists(printed));
    ASSERT_EQ(dialogs_.questions.size(), 2u);
    for (const QString& gap : {QStringLiteral("kein Empfänger"), QStringLiteral("Dachfläche ist 0"),
                               QStringLiteral("Nettobetrag ist 0,00")})
        EXPECT_TRUE(dialogs_.questions[0].text.contains(gap)) << toStd(dialogs_.questions[0].text);
    EXPECT_EQ(dialogs_.questions[0].defaultAnswer, Dialogs::Answer::No);

    // Going on regardless: the offer goes out and counts its number.
    dialogs_.questionAnswers = {Dialogs::Answer::Yes};
    runOffer([](OfferDialog& offer) {
        EXPECT_EQ(offer.numberEdit->text(),
                  QStringLiteral("%1-001").arg(QDate::currentDate().year()));
        offer.printButton->click();
    });
    EXPECT_TRUE(QFile::exists(printed));
    runOffer([](OfferDialog& offer) {
        EXPECT_EQ(offer.numberEdit->text(),
                  QStringLiteral("%1-002").arg(QDate::currentDate().year()));
    });
}

// After an offer went out the form moves on to the next number and says so: a second save from
// the same form is a second offer, never the first number again. The page names its number once.
TEST_F(OfferCommandsTest, FormMovesOnToTheNextNumberAfterAnOfferWentOut) {
    storeFirmData();
    const QString year = QString::number(QDate::currentDate().year());
    const QString second = tempPath(QStringLiteral("zwei.pdf"));
    dialogs_.fileAnswers = {tempPath(QStringLiteral("eins.pdf")), second};
    runOffer([&](OfferDialog& offer) {
        offer.addressEdit->setPlainText(QStringLiteral("Lindenweg 5\n37073 Göttingen"));
        offer.pdfButton->click();
        EXPECT_EQ(offer.numberEdit->text(), year + QStringLiteral("-002"));
        EXPECT_TRUE(offer.noteLabel->isVisibleTo(&offer));
        EXPECT_TRUE(offer.noteLabel->text().contains(year + QStringLiteral("-001")))
            << toStd(offer.noteLabel->text());
        offer.pdfButton->click();
    });
    ASSERT_EQ(dialogs_.fileRequests.size(), 2u);
    EXPECT_EQ(dialogs_.fileRequests[1].suggestedName,
              QStringLiteral("Angebot %1-002 Müller.pdf").arg(year));
    EXPECT_EQ(pdfText(second).count(year + QStringLiteral("-002")), 1) << toStd(pdfText(second));
    runOffer([&](OfferDialog& offer) {
        EXPECT_EQ(offer.numberEdit->text(), year + QStringLiteral("-003"));
    });
}

// The firm data form: Tab walks it as it is shown, through the logo's buttons, and the logo's
// open dialog has its own title and a filter that names its patterns once.
TEST_F(OfferCommandsTest, LogoButtonsAreInTheTabOrderAndTheirDialogIsTitled) {
    EXPECT_EQ(qtFileFilter(FirmDataDialog::logoFilter()),
              QStringLiteral("Bilder (*.png *.jpg *.jpeg *.svg)"));
    dialogs_.fileAnswers = {std::nullopt};
    dialogs_.formAnswers.push_back([](QDialog& dialog) {
        auto& firm = dynamic_cast<FirmDataDialog&>(dialog);
        QStringList chain;
        for (QWidget* widget = firm.bicEdit->nextInFocusChain();
             widget != firm.bicEdit && chain.size() < 11; widget = widget->nextInFocusChain())
            if ((widget->focusPolicy() & Qt::TabFocus) != 0 && widget->isVisibleTo(&firm) &&
                !widget->objectName().isEmpty())
                chain << widget->objectName();
        EXPECT_EQ(
            chain,
            (QStringList{QStringLiteral("legalFormBox"), QStringLiteral("seatEdit"),
                         QStringLiteral("registerCourtEdit"), QStringLiteral("registerNumberEdit"),
                         QStringLiteral("directorEdit"), QStringLiteral("chooseLogoButton"),
                         QStringLiteral("removeLogoButton"), QStringLiteral("paymentEdit"),
                         QStringLiteral("skontoPercentEdit"), QStringLiteral("skontoDaysEdit"),
                         QStringLiteral("contractBasisBox")}));
        firm.findChild<QPushButton*>(QStringLiteral("chooseLogoButton"))->click();
        return false;
    });
    form->editFirmDataAction->trigger();
    ASSERT_EQ(dialogs_.fileRequests.size(), 1u);
    EXPECT_EQ(dialogs_.fileRequests[0].title, QStringLiteral("Logo wählen"));
    EXPECT_EQ(dialogs_.fileRequests[0].filter, FirmDataDialog::logoFilter());
}

// The tax case and the private customer are chosen in the form: § 13b shows no VAT but its note,
// and the labour share the customer may deduct.
TEST_F(OfferCommandsTest, TaxCaseAndLabourShareAreChosenInTheForm) {
    storeFirmData();
    const QString pdf = tempPath(QStringLiteral("13b.pdf"));
    dialogs_.fileAnswers = {pdf};
    runOffer([](OfferDialog& offer) {
        EXPECT_EQ(offer.taxCaseBox->currentIndex(), 0);
        EXPECT_FALSE(offer.privateBox->isChecked());
        offer.addressEdit->setPlainText(QStringLiteral("Lindenweg 5\n37073 Göttingen"));
        offer.taxCaseBox->setCurrentIndex(1);
        offer.privateBox->setChecked(true);
        offer.pdfButton->click();
    });
    const QString text = pdfText(pdf).simplified();
    EXPECT_TRUE(text.contains(QStringLiteral("(§ 13b UStG)"))) << toStd(text);
    EXPECT_FALSE(text.contains(QStringLiteral("MwSt."))) << toStd(text);
    EXPECT_FALSE(text.contains(QStringLiteral("578,63"))) << toStd(text);
    // The worked example's layers, 6,00 and 4,50 per m², on 24 m².
    EXPECT_TRUE(text.contains(QStringLiteral("Arbeitskosten: 252,00 €"))) << toStd(text);
    // The register keeps what the offer charges: no VAT.
    const auto offers = form->programStore().offers();
    ASSERT_EQ(offers.size(), 1u);
    const auto record = form->programStore().offer(offers[0].number);
    EXPECT_EQ(record->entry.netCents, 48624);
    EXPECT_EQ(record->entry.vatCents, 0);
    EXPECT_EQ(record->entry.grossCents, 48624);
}

// What a German offer for roofing work carries, entered where it belongs: the company's data,
// Skonto and contract basis in the firm data (kept in the database and shown again), the site,
// the period, the instalments, the signature line and the acceptance slip in the offer's form;
// and the same per-offer choices from the command line.
TEST_F(OfferCommandsTest, FirmAndOfferFieldsReachThePaper) {
    storeFirmData();
    const auto fillCompany = [this](QDialog& dialog) {
        auto& firm = dynamic_cast<FirmDataDialog&>(dialog);
        EXPECT_TRUE(firm.legalFormBox->currentText().isEmpty()); // none stored before
        firm.legalFormBox->setCurrentText(QStringLiteral("GmbH"));
        firm.seatEdit->setText(QStringLiteral("Kassel"));
        firm.registerCourtEdit->setText(QStringLiteral("Amtsgericht Kassel"));
        firm.registerNumberEdit->setText(QStringLiteral("HRB 12345"));
        firm.directorEdit->setText(QStringLiteral("Jonas Kramer"));
        firm.contractBasisBox->setCurrentIndex(1);
        firm.skontoPercentEdit->setText(QStringLiteral("2"));
        firm.skontoDaysEdit->setText(QStringLiteral("zehn"));
        firm.accept();
        EXPECT_NE(firm.result(), QDialog::Accepted); // the days are no number
        EXPECT_EQ(dialogs_.messages.size(), 1U);
        firm.skontoDaysEdit->setText(QStringLiteral("10"));
        firm.accept();
        return firm.result() == QDialog::Accepted;
    };
    dialogs_.formAnswers.push_back(fillCompany);
    form->editFirmDataAction->trigger();
    ASSERT_TRUE(dialogs_.formAnswers.empty());
    EXPECT_EQ(firmValue("Registernummer"), QStringLiteral("HRB 12345"));
    EXPECT_EQ(firmValue("Sitz"), QStringLiteral("Kassel"));
    EXPECT_EQ(firmValue("Vertragsgrundlage"), QStringLiteral("VOB/B"));
    dialogs_.formAnswers.push_back([](QDialog& dialog) {
        auto& firm = dynamic_cast<FirmDataDialog&>(dialog);
        EXPECT_EQ(firm.legalFormBox->currentText(), QStringLiteral("GmbH"));
        EXPECT_EQ(firm.registerCourtEdit->text(), QStringLiteral("Amtsgericht Kassel"));
        EXPECT_EQ(firm.skontoDaysEdit->text(), QStringLiteral("10"));
        EXPECT_EQ(firm.contractBasisBox->currentIndex(), 1);
        return false;
    });
    form->editFirmDataAction->trigger();

    const QString pdf = tempPath(QStringLiteral("angebot.pdf"));
    dialogs_.fileAnswers = {pdf};
    QString number;
    runOffer([&number](OfferDialog& offer) {
        EXPECT_FALSE(offer.periodFromEdit->isEnabled());
        offer.addressEdit->setPlainText(QStringLiteral("Hausverwaltung Lind\nPostfach 12\n37073 "
                                                       "Göttingen"));
        offer.siteEdit->setPlainText(QStringLiteral("Am Markt 3\n37073 Göttingen"));
        offer.periodBox->setCurrentIndex(2);
        EXPECT_TRUE(offer.periodFromEdit->isEnabled());
        offer.periodFromEdit->setDate(QDate(2027, 3, 1));
        offer.periodUntilEdit->setDate(QDate(2027, 3, 12));
        offer.instalmentsEdit->setText(QStringLiteral("30 %"));
        offer.signatureBox->setChecked(true);
        offer.acceptanceBox->setChecked(true);
        number = offer.numberEdit->text();
        offer.pdfButton->click();
    });
    // As the text was drawn: the footer's columns wrap, and side by side their lines interleave.
    const QString text = pdfText(pdf, test::PdfLayout::Raw).simplified();
    for (const QString& expected :
         {QStringLiteral("Bauvorhaben"), QStringLiteral("Am Markt 3, 37073 Göttingen"),
          QStringLiteral("Ausführungszeitraum: 01.03.2027 bis 12.03.2027"),
          QStringLiteral("2 % Skonto bei Zahlung innerhalb von 10 Tagen."),
          QStringLiteral("Vertragsgrundlage ist die VOB/B"),
          QStringLiteral("1. Abschlagszahlung 30 % (173,59 €), Schlusszahlung 70 % (405,04 €)"),
          QStringLiteral("Geschäftsführer: Jonas Kramer"),
          QStringLiteral("Amtsgericht Kassel, HRB 12345"), QStringLiteral("Auftragserteilung"),
          QStringLiteral("Angebots Nr. ") + number, QStringLiteral("Ort, Datum"),
          QStringLiteral("Unterschrift des Auftraggebers")})
        EXPECT_TRUE(text.contains(expected)) << toStd(expected) << "\n" << toStd(text);
    EXPECT_FALSE(text.contains(QStringLiteral("Inhaber"))) << toStd(text);
    // The register keeps the period for the invoice of the job.
    const auto record = form->programStore().offer(toStd(number));
    ASSERT_TRUE(record.has_value());
    EXPECT_EQ(record->entry.workFrom, "2027-03-01");
    EXPECT_EQ(record->entry.workUntil, "2027-03-12");

    // The command line: small business, private customer, "nach Vereinbarung".
    const QString fromCli = tempPath(QStringLiteral("cli.pdf"));
    std::ostringstream out;
    std::ostringstream err;
    std::vector<std::string> args = test::workedExampleArguments();
    args.insert(args.end(), {"KundeEd=Müller", "--tax-case", "19", "--private", "--period",
                             "nach-vereinbarung", "--site", "Am Markt 3", "--instalments", "50",
                             "--acceptance-slip", "--offer", toStd(fromCli)});
    const auto steps = qtCliSteps();
    EXPECT_EQ(runCli(args, out, err, steps), 0) << err.str();
    const QString cliText = pdfText(fromCli, test::PdfLayout::Raw).simplified();
    for (const QString& expected :
         {QStringLiteral("Gemäß § 19 UStG wird keine Umsatzsteuer berechnet."),
          QStringLiteral("Arbeitskosten: 252,00 €"), QStringLiteral("Bauvorhaben"),
          QStringLiteral("Ausführungszeitraum: nach Vereinbarung"),
          QStringLiteral("1. Abschlagszahlung 50 % (243,12 €)"),
          QStringLiteral("Auftragserteilung")})
        EXPECT_TRUE(cliText.contains(expected)) << toStd(expected) << "\n" << toStd(cliText);
    EXPECT_FALSE(cliText.contains(QStringLiteral("MwSt."))) << toStd(cliText);
}

TEST_F(OfferCommandsTest, CalculationPdfEqualsWhatThePrinterPrints) {
    const QString saved = tempPath(QStringLiteral("kalkulation.pdf"));
    dialogs_.fileAnswers = {saved};
    form->saveCalculationPdfAction->trigger();
    ASSERT_EQ(dialogs_.fileRequests.size(), 1u);
    EXPECT_EQ(dialogs_.fileRequests[0].filter, TMainForm::pdfFilter());
    EXPECT_EQ(dialogs_.fileRequests[0].defaultSuffix, QStringLiteral(".pdf"));
    EXPECT_EQ(dialogs_.printerSetups, 0);
    // The user named the file in the save dialog: no note afterwards.
    EXPECT_TRUE(dialogs_.messages.empty());

    const QString printed = tempPath(QStringLiteral("drucker.pdf"));
    form->printer().setOutputFormat(QPrinter::PdfFormat);
    form->printer().setOutputFileName(printed);
    form->printer().setPageSize(QPageSize(QPageSize::A4));
    form->Drucken1->trigger();
    const QString text = pdfText(saved);
    EXPECT_TRUE(text.contains(QStringLiteral("9,99"))) << toStd(text);
    EXPECT_EQ(text, pdfText(printed));

    // Cancelled: nothing written, nothing said.
    const std::size_t said = dialogs_.messages.size();
    dialogs_.fileAnswers = {std::nullopt};
    form->saveCalculationPdfAction->trigger();
    EXPECT_EQ(dialogs_.messages.size(), said);
}

// The take-off goes on paper after the calculation always, after the offer when the user ticks
// the box; a take-off with a faulty row cannot be attached.
TEST_F(OfferCommandsTest, TheTakeOffFollowsThePrintoutAndOptionallyTheOffer) {
    TakeOffTab& tab = *form->takeOffTab();
    tab.addRow(TakeOffTab::Table::Faces);
    for (const auto& [column, text] :
         {std::pair{0, u"Hauptdach"}, {2, u"10"}, {3, u"6,5"}, {5, u"2"}})
        ASSERT_TRUE(
            tab.enterCell(TakeOffTab::Table::Faces, 0, column, QString::fromUtf16(text)).isEmpty());
    ASSERT_FALSE(tab.linked()) << "the area 24 was typed by hand";

    const QString calculation = tempPath(QStringLiteral("kalkulation.pdf"));
    dialogs_.fileAnswers = {calculation};
    form->saveCalculationPdfAction->trigger();
    const QString printout = pdfText(calculation);
    EXPECT_TRUE(printout.contains(QStringLiteral("10,00 × 6,50 = 65,00 m²"))) << toStd(printout);
    EXPECT_TRUE(printout.contains(QStringLiteral("(24,00 m²) ist von Hand eingetragen")));

    const QString plain = tempPath(QStringLiteral("angebot.pdf"));
    const QString attached = tempPath(QStringLiteral("angebot-aufmass.pdf"));
    dialogs_.fileAnswers = {plain, attached};
    runOffer([](OfferDialog& offer) {
        EXPECT_TRUE(offer.takeOffBox->isEnabled());
        EXPECT_FALSE(offer.takeOffBox->isChecked()) << "attached only when asked for";
        offer.pdfButton->click();
        offer.takeOffBox->click();
        offer.pdfButton->click();
    });
    EXPECT_FALSE(pdfText(plain).contains(QStringLiteral("65,00 m²")));
    const QString text = pdfText(attached);
    EXPECT_TRUE(text.contains(QStringLiteral("2 × 65,00 m² = 130,00 m²"))) << toStd(text);
    EXPECT_TRUE(text.contains(QStringLiteral("zum Angebot")));

    ASSERT_TRUE(tab.enterCell(TakeOffTab::Table::Faces, 0, 3, QStringLiteral("0")).isEmpty());
    runOffer([](OfferDialog& offer) {
        EXPECT_FALSE(offer.takeOffBox->isEnabled());
        EXPECT_TRUE(offer.takeOffBox->toolTip().contains(QStringLiteral("Fehler")));
    });
}

} // namespace
} // namespace pyrelto
