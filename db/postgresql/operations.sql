-- The operations package's own tables (PostgreSQL). Never the restaurant's: the package only
-- reads and updates those. Every statement may run again: the package runs this script on a
-- database that lacks its tables, or holds an older version of them (GPEVERSAO). Terminals that
-- start together take turns (the advisory lock), so that none trips over another's half-made
-- table.

BEGIN;
SELECT pg_advisory_xact_lock(1100200001);

CREATE TABLE IF NOT EXISTS GPEVERSAO (
    NMCOMPONENTE  VARCHAR(20) NOT NULL PRIMARY KEY,
    NRVERSAO      INTEGER     NOT NULL
);

-- One row per operation that changed something, written in the same transaction as the change.
-- TXANTES and TXDEPOIS hold what the operation found and left, as JSON objects.
CREATE TABLE IF NOT EXISTS GPEJORNAL (
    NRJORNAL      BIGSERIAL   PRIMARY KEY,
    DTHROPERACAO  TIMESTAMP   NOT NULL,
    CDCAIXA       VARCHAR(3),
    NMESTACAO     VARCHAR(64),
    CDOPERADOR    VARCHAR(12),
    IDOPERACAO    VARCHAR(20) NOT NULL,
    CDFILIAL      VARCHAR(4),
    CDLOJA        VARCHAR(4),
    NRMESAORIG    VARCHAR(4),
    NRMESADEST    VARCHAR(4),
    NRJUNMESA     VARCHAR(10),
    TXANTES       TEXT,
    TXDEPOIS      TEXT
);
CREATE INDEX IF NOT EXISTS IX_GPEJORNAL_DATA ON GPEJORNAL (DTHROPERACAO);

-- Reservations of tables: IDSTRESERVA A active, C cancelled, S guests seated. At most one active
-- reservation per table.
CREATE TABLE IF NOT EXISTS GPERESERVA (
    NRRESERVA     BIGSERIAL   PRIMARY KEY,
    CDFILIAL      VARCHAR(4)  NOT NULL,
    CDLOJA        VARCHAR(4)  NOT NULL,
    NRMESA        VARCHAR(4)  NOT NULL,
    NMCLIENTE     VARCHAR(50) NOT NULL,
    DTHRRESERVA   TIMESTAMP   NOT NULL,
    NRPESSOAS     VARCHAR(3)  NOT NULL,
    IDSTRESERVA   VARCHAR(1)  NOT NULL,
    DTHRINCLUSAO  TIMESTAMP   NOT NULL,
    CDOPERADOR    VARCHAR(12),
    DTHRFIM       TIMESTAMP
);
CREATE UNIQUE INDEX IF NOT EXISTS UX_GPERESERVA_ATIVA ON GPERESERVA (CDFILIAL, CDLOJA, NRMESA) WHERE IDSTRESERVA = 'A';

INSERT INTO GPEVERSAO (NMCOMPONENTE, NRVERSAO) VALUES ('GPE00002', 1)
    ON CONFLICT (NMCOMPONENTE) DO UPDATE SET NRVERSAO = EXCLUDED.NRVERSAO;
COMMIT;
