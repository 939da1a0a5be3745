-- The operations package's own tables (SQLite). Never the restaurant's: the package only reads
-- and updates those. Every statement may run again: the package runs this script on a database
-- that lacks its tables, or holds an older version of them (GPEVERSAO).

CREATE TABLE IF NOT EXISTS GPEVERSAO (
    NMCOMPONENTE  VARCHAR(20) NOT NULL PRIMARY KEY,
    NRVERSAO      INTEGER     NOT NULL
);

-- One row per operation that changed something, written in the same transaction as the change.
-- TXANTES and TXDEPOIS hold what the operation found and left, as JSON objects. CDUUID is the
-- operation's identity, looked up when the connection was lost while it committed; NRJORNALDESF,
-- on a DESFAZER row, the row it undid (an operation is undone at most once).
CREATE TABLE IF NOT EXISTS GPEJORNAL (
    NRJORNAL      INTEGER PRIMARY KEY AUTOINCREMENT,
    DTHROPERACAO  DATETIME    NOT NULL,
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
    NRJORNALDESF  INTEGER
);
CREATE INDEX IF NOT EXISTS IX_GPEJORNAL_DATA ON GPEJORNAL (DTHROPERACAO);
CREATE UNIQUE INDEX IF NOT EXISTS UX_GPEJORNAL_UUID ON GPEJORNAL (CDUUID);
CREATE UNIQUE INDEX IF NOT EXISTS UX_GPEJORNAL_DESFEITA ON GPEJORNAL (NRJORNALDESF);

-- Reservations of tables: IDSTRESERVA A active, C cancelled, S guests seated, N a no-show (not
-- seated by DTHRLIMITE). A reservation holds its tables ("R") from DTHRRETENCAO until it ends or
-- DTHRLIMITE passes; its period, which no other active reservation of the same table may overlap,
-- runs from DTHRRESERVA to DTHRFIMPREV. The three times are fixed when the reservation is made,
-- from the station's settings. NRMESA is the first of its tables (GPERESERVAMESA holds them all).
CREATE TABLE IF NOT EXISTS GPERESERVA (
    NRRESERVA     INTEGER PRIMARY KEY AUTOINCREMENT,
    CDFILIAL      VARCHAR(4)  NOT NULL,
    CDLOJA        VARCHAR(4)  NOT NULL,
    NRMESA        VARCHAR(4)  NOT NULL,
    NMCLIENTE     VARCHAR(50) NOT NULL,
    DTHRRESERVA   DATETIME    NOT NULL,
    NRPESSOAS     VARCHAR(3)  NOT NULL,
    IDSTRESERVA   VARCHAR(1)  NOT NULL,
    DTHRINCLUSAO  DATETIME    NOT NULL,
    CDOPERADOR    VARCHAR(12),
    DTHRFIM       DATETIME,
    DTHRRETENCAO  DATETIME,
    DTHRFIMPREV   DATETIME,
    DTHRLIMITE    DATETIME,
    NRTELEFONE    VARCHAR(20),
    DSOBSERVACAO  VARCHAR(200)
);
DROP INDEX IF EXISTS UX_GPERESERVA_ATIVA;
CREATE INDEX IF NOT EXISTS IX_GPERESERVA_DATA ON GPERESERVA (CDFILIAL, CDLOJA, DTHRRESERVA);

-- The tables of each reservation, with its period and status, so that the overlap of two active
-- periods of one table can be checked (the operations check it under the tables' locks).
CREATE TABLE IF NOT EXISTS GPERESERVAMESA (
    NRRESERVA     INTEGER     NOT NULL REFERENCES GPERESERVA (NRRESERVA),
    CDFILIAL      VARCHAR(4)  NOT NULL,
    CDLOJA        VARCHAR(4)  NOT NULL,
    NRMESA        VARCHAR(4)  NOT NULL,
    DTHRRESERVA   DATETIME    NOT NULL,
    DTHRFIMPREV   DATETIME    NOT NULL,
    IDSTRESERVA   VARCHAR(1)  NOT NULL,
    PRIMARY KEY (NRRESERVA, NRMESA)
);
CREATE INDEX IF NOT EXISTS IX_GPERESERVAMESA_MESA ON GPERESERVAMESA (CDFILIAL, CDLOJA, NRMESA, IDSTRESERVA);

-- Reservations of the first version (one table each, holding it from the moment they were made)
-- get the windows of the default settings: held from an hour before, two hours long, a no-show
-- twenty minutes after their time.
UPDATE GPERESERVA SET DTHRRETENCAO = datetime(DTHRRESERVA, '-60 minutes'),
                      DTHRFIMPREV = datetime(DTHRRESERVA, '+120 minutes'),
                      DTHRLIMITE = datetime(DTHRRESERVA, '+20 minutes')
 WHERE DTHRRETENCAO IS NULL;
INSERT INTO GPERESERVAMESA (NRRESERVA, CDFILIAL, CDLOJA, NRMESA, DTHRRESERVA, DTHRFIMPREV, IDSTRESERVA)
SELECT R.NRRESERVA, R.CDFILIAL, R.CDLOJA, R.NRMESA, R.DTHRRESERVA, R.DTHRFIMPREV, R.IDSTRESERVA
  FROM GPERESERVA R
 WHERE NOT EXISTS (SELECT 1 FROM GPERESERVAMESA T WHERE T.NRRESERVA = R.NRRESERVA);

INSERT OR REPLACE INTO GPEVERSAO (NMCOMPONENTE, NRVERSAO) VALUES ('GPE00002', 3);
