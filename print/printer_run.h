#pragma once
// Documents on a printer: the only part of printing that needs Qt's printer support, kept apart so
// that the PDF route (and with it the command-line driver) does without it.

#include "takeoff_print.h"

#include <QDate>
#include <QString>

class QPrinter;

namespace pyrelto {

class Sheet;
struct OfferDocument;
struct TakeOff;

// Empty when a print run on `printer` can start; otherwise the German text for the user.
QString printerProblem(const QPrinter& printer);

// Prints the sheet on `printer` as it is set up, without a dialog (see paintSheet). Returns the
// number of pages. Throws PrintError when there is no printer to print on or the printer fails.
int printSheet(const Sheet& sheet, QPrinter& printer, const QDate& date,
               const TakeOff* takeOff = nullptr);

// Prints the offer on `printer` as it is set up, the take-off attached when `attachment` has one.
// Throws PrintError (no printer, printer failure).
int printOffer(const OfferDocument& offer, QPrinter& printer, const TakeOffPrint& attachment = {});

} // namespace pyrelto
