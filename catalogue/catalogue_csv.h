// The whole catalogue as CSV, so that a firm can always take its data out: every article with
// every field, our own included, for a spreadsheet or another program.
#pragma once

#include "catalogue.h"

#include <string>

namespace pyrelto {

// UTF-8 with a byte-order mark (spreadsheets then read the umlauts), ";" between fields, CR LF,
// German decimal commas with each amount's own decimals, dates as DD.MM.YYYY, RFC 4180 quoting
// where a field holds ";", a quote or a line break. One header line, then one line per article
// in the catalogue's order: Lieferant, Artikelnummer, Bezeichnung, Bezeichnung 2, Einheit,
// Preis, Preiseinheit, Preisart, Rabattgruppe, Warengruppe, EAN, Preisdatum, Vorheriger Preis,
// Datum vorheriger Preis, m² je Einheit, Verschnitt %, Rabatt % (the firm's discount on the
// article's discount group), Preis je m². The list's columns carry the header names the CSV
// import reads without a mapping, so one supplier's lines import again as they were.
std::string catalogueCsv(const Catalogue& catalogue);

} // namespace pyrelto
