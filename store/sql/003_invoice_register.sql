-- Version 3: the register of issued invoices, numbered by a counter of their own.

-- One row per issued invoice, written once in the transaction that takes its number and never
-- changed: the documents as they went out (pdf, xml — NULL when no e-invoice was written), the
-- invoice as data they were made from (positions, parties, amounts), the calculation file's bytes
-- and the amounts in whole cents. Only the payment status moves: 'offen', or 'bezahlt' with the
-- date paid. A wrong invoice is corrected by a credit note ('gutschrift') that names it in
-- corrects; an invoice has at most one.
CREATE TABLE invoices (
    number       TEXT PRIMARY KEY,
    kind         TEXT NOT NULL CHECK (kind IN ('rechnung', 'abschlag', 'schluss', 'gutschrift')),
    issue_date   TEXT NOT NULL,
    due_date     TEXT NOT NULL,
    customer     TEXT NOT NULL,
    offer_number TEXT NOT NULL,
    corrects     TEXT REFERENCES invoices (number),
    net_cents    BIGINT NOT NULL,
    vat_cents    BIGINT NOT NULL,
    gross_cents  BIGINT NOT NULL,
    due_cents    BIGINT NOT NULL,
    invoice_data BYTEA NOT NULL,
    pdf          BYTEA NOT NULL,
    xml          BYTEA,
    calculation  BYTEA NOT NULL,
    status       TEXT NOT NULL DEFAULT 'offen' CHECK (status IN ('offen', 'bezahlt')),
    paid_on      TEXT,
    recorded_at  TEXT NOT NULL,
    CHECK ((status = 'bezahlt' AND paid_on IS NOT NULL) OR (status = 'offen' AND paid_on IS NULL)),
    CHECK ((kind = 'gutschrift') = (corrects IS NOT NULL))
);
CREATE INDEX invoices_by_date ON invoices (issue_date, number);
CREATE INDEX invoices_by_offer ON invoices (offer_number);
CREATE UNIQUE INDEX invoices_one_credit_note ON invoices (corrects);
