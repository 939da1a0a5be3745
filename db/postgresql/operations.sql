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
-- TXANTES and TXDEPOIS hold what the operation found and left, as JSON objects. CDUUID is the
-- operation's identity, looked up when the connection was lost while it committed; NRJORNALDESF,
-- on a DESFAZER row, the row it undid (an operation is undone at most once).
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
    TXDEPOIS      TEXT,
    CDUUID        VARCHAR(36),
    NRJORNALDESF  BIGINT
);
CREATE INDEX IF NOT EXISTS IX_GPEJORNAL_DATA ON GPEJORNAL (DTHROPERACAO);
ALTER TABLE GPEJORNAL ADD COLUMN IF NOT EXISTS CDUUID VARCHAR(36);
ALTER TABLE GPEJORNAL ADD COLUMN IF NOT EXISTS NRJORNALDESF BIGINT;
CREATE UNIQUE INDEX IF NOT EXISTS UX_GPEJORNAL_UUID ON GPEJORNAL (CDUUID);
CREATE UNIQUE INDEX IF NOT EXISTS UX_GPEJORNAL_DESFEITA ON GPEJORNAL (NRJORNALDESF);

-- Reservations of tables: IDSTRESERVA A active, C cancelled, S guests seated, N a no-show (not
-- seated by DTHRLIMITE). A reservation holds its tables ("R") from DTHRRETENCAO until it ends or
-- DTHRLIMITE passes; its period, which no other active reservation of the same table may overlap,
-- runs from DTHRRESERVA to DTHRFIMPREV. The three times are fixed when the reservation is made,
-- from the station's settings. NRMESA is the first of its tables (GPERESERVAMESA holds them all).
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
-- Added by the second version; a table of the first gets them here.
ALTER TABLE GPERESERVA ADD COLUMN IF NOT EXISTS DTHRRETENCAO TIMESTAMP;
ALTER TABLE GPERESERVA ADD COLUMN IF NOT EXISTS DTHRFIMPREV TIMESTAMP;
ALTER TABLE GPERESERVA ADD COLUMN IF NOT EXISTS DTHRLIMITE TIMESTAMP;
ALTER TABLE GPERESERVA ADD COLUMN IF NOT EXISTS NRTELEFONE VARCHAR(20);
ALTER TABLE GPERESERVA ADD COLUMN IF NOT EXISTS DSOBSERVACAO VARCHAR(200);
DROP INDEX IF EXISTS UX_GPERESERVA_ATIVA;
CREATE INDEX IF NOT EXISTS IX_GPERESERVA_DATA ON GPERESERVA (CDFILIAL, CDLOJA, DTHRRESERVA);

-- The tables of each reservation, with its period and status, so that the overlap of two active
-- periods of one table can be refused (the operations check it under the tables' locks; the
-- exclusion constraint below backs them where the server has btree_gist).
CREATE TABLE IF NOT EXISTS GPERESERVAMESA (
    NRRESERVA     BIGINT      NOT NULL REFERENCES GPERESERVA (NRRESERVA),
    CDFILIAL      VARCHAR(4)  NOT NULL,
    CDLOJA        VARCHAR(4)  NOT NULL,
    NRMESA        VARCHAR(4)  NOT NULL,
    DTHRRESERVA   TIMESTAMP   NOT NULL,
    DTHRFIMPREV   TIMESTAMP   NOT NULL,
    IDSTRESERVA   VARCHAR(1)  NOT NULL,
    PRIMARY KEY (NRRESERVA, NRMESA)
);
CREATE INDEX IF NOT EXISTS IX_GPERESERVAMESA_MESA ON GPERESERVAMESA (CDFILIAL, CDLOJA, NRMESA, IDSTRESERVA);

-- Reservations of the first version (one table each, holding it from the moment they were made)
-- get the windows of the default settings: held from an hour before, two hours long, a no-show
-- twenty minutes after their time.
UPDATE GPERESERVA SET DTHRRETENCAO = DTHRRESERVA - INTERVAL '60 minutes',
                      DTHRFIMPREV = DTHRRESERVA + INTERVAL '120 minutes',
                      DTHRLIMITE = DTHRRESERVA + INTERVAL '20 minutes'
 WHERE DTHRRETENCAO IS NULL;
INSERT INTO GPERESERVAMESA (NRRESERVA, CDFILIAL, CDLOJA, NRMESA, DTHRRESERVA, DTHRFIMPREV, IDSTRESERVA)
SELECT R.NRRESERVA, R.CDFILIAL, R.CDLOJA, R.NRMESA, R.DTHRRESERVA, R.DTHRFIMPREV, R.IDSTRESERVA
  FROM GPERESERVA R
 WHERE NOT EXISTS (SELECT 1 FROM GPERESERVAMESA T WHERE T.NRRESERVA = R.NRRESERVA);

-- Where the server allows btree_gist, two active periods of one table that overlap are refused
-- by the database itself too. Without it (a role that may not create extensions) the locked
-- check of the operations alone keeps them apart. The extension goes to "public", never to a
-- schema of the restaurant that may be dropped with it.
DO $$
BEGIN
    BEGIN
        CREATE EXTENSION IF NOT EXISTS btree_gist SCHEMA public;
    EXCEPTION WHEN OTHERS THEN
        RAISE NOTICE 'btree_gist not available: %', SQLERRM;
    END;
    IF EXISTS (SELECT 1 FROM pg_extension WHERE extname = 'btree_gist')
       AND NOT EXISTS (SELECT 1 FROM pg_constraint
                        WHERE conname = 'xgpereservamesa_periodo'
                          AND conrelid = 'gpereservamesa'::regclass) THEN
        ALTER TABLE GPERESERVAMESA ADD CONSTRAINT XGPERESERVAMESA_PERIODO
            EXCLUDE USING gist (CDFILIAL WITH =, CDLOJA WITH =, NRMESA WITH =,
                                tsrange(DTHRRESERVA, DTHRFIMPREV) WITH &&)
            WHERE (IDSTRESERVA = 'A');
    END IF;
END
$$;

INSERT INTO GPEVERSAO (NMCOMPONENTE, NRVERSAO) VALUES ('GPE00002', 3)
    ON CONFLICT (NMCOMPONENTE) DO UPDATE SET NRVERSAO = EXCLUDED.NRVERSAO;
COMMIT;
