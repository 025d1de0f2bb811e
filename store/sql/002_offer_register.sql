-- Version 2: the register of every offer that went out.

-- Dates are ISO texts (YYYY-MM-DD), amounts whole cents. pdf_written stays 0 until the PDF of the
-- recorded offer exists, so an offer whose PDF failed can be made again under its number.
-- calculation holds the calculation file's bytes as they were when the offer was made.
CREATE TABLE offers (
    number      TEXT PRIMARY KEY,
    offer_date  TEXT NOT NULL,
    customer    TEXT NOT NULL,
    address     TEXT NOT NULL,
    net_cents   BIGINT NOT NULL,
    vat_cents   BIGINT NOT NULL,
    gross_cents BIGINT NOT NULL,
    valid_until TEXT NOT NULL,
    file_name   TEXT NOT NULL,
    status      TEXT NOT NULL DEFAULT 'offen'
                CHECK (status IN ('offen', 'angenommen', 'abgelehnt')),
    pdf_written BIGINT NOT NULL DEFAULT 0 CHECK (pdf_written IN (0, 1)),
    calculation BYTEA NOT NULL,
    recorded_at TEXT NOT NULL
);
CREATE INDEX offers_by_date ON offers (offer_date, number);
