-- Version 4: the price catalogue, one for all of a firm's PCs.

-- One row per supplier and article number. Amounts are exact decimals in two columns, the count of
-- units and their decimals (74,93 is 7493 and 2), so a list's own precision survives: the value
-- alone would not tell 74,9 from 74,90. Dates are ISO texts (YYYY-MM-DD), '' when the list gave
-- none. The list's fields are replaced by the next import of the same supplier; previous_price
-- keeps the price an import replaced, with its date. coverage (m² per unit) and waste_percent are
-- the firm's own and survive imports; NULL when not set.
CREATE TABLE articles (
    supplier                TEXT NOT NULL,
    article_number          TEXT NOT NULL,
    short_text1             TEXT NOT NULL,
    short_text2             TEXT NOT NULL,
    unit                    TEXT NOT NULL,
    price_unit              BIGINT NOT NULL CHECK (price_unit IN (1, 10, 100, 1000)),
    list_price              BIGINT NOT NULL,
    list_price_decimals     BIGINT NOT NULL CHECK (list_price_decimals BETWEEN 0 AND 4),
    price_kind              TEXT NOT NULL CHECK (price_kind IN ('liste', 'netto')),
    discount_group          TEXT NOT NULL,
    main_product_group      TEXT NOT NULL,
    ean                     TEXT NOT NULL,
    price_date              TEXT NOT NULL,
    previous_price          BIGINT,
    previous_price_decimals BIGINT CHECK (previous_price_decimals BETWEEN 0 AND 4),
    previous_price_date     TEXT NOT NULL,
    coverage                BIGINT,
    coverage_decimals       BIGINT CHECK (coverage_decimals BETWEEN 0 AND 4),
    waste_percent           BIGINT,
    waste_percent_decimals  BIGINT CHECK (waste_percent_decimals BETWEEN 0 AND 4),
    PRIMARY KEY (supplier, article_number),
    CHECK ((previous_price IS NULL) = (previous_price_decimals IS NULL)),
    CHECK ((coverage IS NULL) = (coverage_decimals IS NULL)),
    CHECK ((waste_percent IS NULL) = (waste_percent_decimals IS NULL))
);
-- A calculation row may remember an article number without its supplier.
CREATE INDEX articles_by_number ON articles (article_number);

-- The discount % the firm gets on a supplier's discount group.
CREATE TABLE group_discounts (
    supplier         TEXT NOT NULL,
    discount_group   TEXT NOT NULL,
    percent          BIGINT NOT NULL,
    percent_decimals BIGINT NOT NULL CHECK (percent_decimals BETWEEN 0 AND 4),
    PRIMARY KEY (supplier, discount_group)
);

-- The column mapping a supplier's CSV lists were last imported with: for each field (named by its
-- default header: 'Artikelnummer', 'Preis', ...) the header of the supplier's column; '' leaves
-- the field unmapped.
CREATE TABLE csv_columns (
    supplier TEXT NOT NULL,
    field    TEXT NOT NULL,
    header   TEXT NOT NULL,
    PRIMARY KEY (supplier, field)
);

-- Counts every change of the catalogue, so another PC can tell cheaply that its copy is stale and
-- an import planned against an older catalogue is refused.
INSERT INTO change_counters (name, value) VALUES ('katalog', 0);
