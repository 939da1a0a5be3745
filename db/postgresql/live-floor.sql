-- The live floor for writers outside the operations package (PostgreSQL): statement-level
-- triggers on the restaurant's tables that the table screens show (MESA, MESAJUNCAO, JUNCAOMESA,
-- VENDAREST, ITCOMANDAVEN) and on the package's reservations (GPERESERVA) notify, at the commit
-- of the change, the channel of every store the statement touched, as the package's own
-- operations do: "res00011_mesas_<branch>_<store>", lower case, letters and digits only, with
-- {"operacao": "EXTERNO", "tabela": TABLE, "mesas": [the tables named, at most 200], "jornal": null}.
-- A statement sends one notification per store, whatever number of rows it changed; the screens
-- that follow the floor then read it again.
--
-- Installed only on request (res00011-report --install-live-floor): like the history of waiter
-- changes, these are objects of the package on the restaurant's own tables. Everything goes into
-- the current schema, beside the restaurant's tables. Every statement may run again; terminals
-- that install at once take turns (the advisory lock). A notification that cannot be sent is a
-- warning in the server's log, never a failure of the writer's statement.

BEGIN;
SELECT pg_advisory_xact_lock(1100200003);

-- The triggers go on the tables the search path finds; were they in another schema than the
-- current one, the installation would be somewhere nobody looks.
DO $$
DECLARE
    v_table TEXT;
BEGIN
    FOREACH v_table IN ARRAY ARRAY['mesa', 'mesajuncao', 'juncaomesa', 'vendarest', 'itcomandaven', 'gpereserva'] LOOP
        IF (SELECT relnamespace FROM pg_class WHERE oid = to_regclass(v_table))
               IS DISTINCT FROM (SELECT oid FROM pg_namespace WHERE nspname = current_schema()) THEN
            RAISE EXCEPTION 'table % is not in the current schema (%): set the connection''s Schema to the restaurant''s',
                upper(v_table), current_schema();
        END IF;
    END LOOP;
END
$$;

-- The stores and tables of the rows a statement wrote: GPE_PISO_NOVAS and GPE_PISO_ANTIGAS are
-- the statement's transition tables (only those its event has). An item names its store through
-- its sale.
CREATE OR REPLACE FUNCTION GPE_PISO_NOTIFICA() RETURNS trigger
LANGUAGE plpgsql SET search_path = pg_catalog, pg_temp AS $$
DECLARE
    v_rows   TEXT;
    v_select TEXT;
    v_store  RECORD;
BEGIN
    IF TG_OP = 'INSERT' THEN
        v_rows := 'SELECT * FROM gpe_piso_novas';
    ELSIF TG_OP = 'DELETE' THEN
        v_rows := 'SELECT * FROM gpe_piso_antigas';
    ELSE
        v_rows := 'SELECT * FROM gpe_piso_novas UNION ALL SELECT * FROM gpe_piso_antigas';
    END IF;
    IF TG_TABLE_NAME = 'itcomandaven' THEN
        v_select := format('SELECT V.CDFILIAL AS filial, V.CDLOJA AS loja, array_agg(DISTINCT V.NRMESA) AS mesas '
                           'FROM (%s) R JOIN %I.VENDAREST V ON V.CDFILIAL = R.CDFILIAL AND V.NRVENDAREST = R.NRVENDAREST '
                           'GROUP BY V.CDFILIAL, V.CDLOJA', v_rows, TG_TABLE_SCHEMA);
    ELSIF TG_TABLE_NAME = 'juncaomesa' THEN
        v_select := format('SELECT R.CDFILIAL AS filial, R.CDLOJA AS loja, ARRAY[]::TEXT[] AS mesas FROM (%s) R '
                           'GROUP BY R.CDFILIAL, R.CDLOJA', v_rows);
    ELSE
        v_select := format('SELECT R.CDFILIAL AS filial, R.CDLOJA AS loja, array_agg(DISTINCT R.NRMESA) AS mesas '
                           'FROM (%s) R GROUP BY R.CDFILIAL, R.CDLOJA', v_rows);
    END IF;
    FOR v_store IN EXECUTE v_select LOOP
        CONTINUE WHEN v_store.filial IS NULL OR v_store.loja IS NULL;
        PERFORM pg_notify(
            'res00011_mesas_' || lower(regexp_replace(btrim(v_store.filial), '[^A-Za-z0-9]', '', 'g')) || '_' ||
                lower(regexp_replace(btrim(v_store.loja), '[^A-Za-z0-9]', '', 'g')),
            json_build_object('operacao', 'EXTERNO', 'tabela', upper(TG_TABLE_NAME),
                              'mesas', CASE WHEN cardinality(v_store.mesas) > 200 THEN ARRAY[]::TEXT[]
                                            ELSE array_remove(v_store.mesas::TEXT[], NULL) END,
                              'jornal', NULL)::TEXT);
    END LOOP;
    RETURN NULL;
EXCEPTION WHEN OTHERS THEN
    RAISE WARNING 'live floor: % of % not notified: %', TG_OP, upper(TG_TABLE_NAME), SQLERRM;
    RETURN NULL;
END
$$;

-- One trigger per table and event: a trigger with transition tables takes one event.
DO $$
DECLARE
    v_table TEXT;
BEGIN
    FOREACH v_table IN ARRAY ARRAY['mesa', 'mesajuncao', 'juncaomesa', 'vendarest', 'itcomandaven', 'gpereserva'] LOOP
        EXECUTE format('DROP TRIGGER IF EXISTS TR_%s_GPEPISO_INS ON %I', v_table, v_table);
        EXECUTE format('DROP TRIGGER IF EXISTS TR_%s_GPEPISO_UPD ON %I', v_table, v_table);
        EXECUTE format('DROP TRIGGER IF EXISTS TR_%s_GPEPISO_DEL ON %I', v_table, v_table);
        EXECUTE format('CREATE TRIGGER TR_%s_GPEPISO_INS AFTER INSERT ON %I REFERENCING NEW TABLE AS gpe_piso_novas '
                       'FOR EACH STATEMENT EXECUTE FUNCTION GPE_PISO_NOTIFICA()', v_table, v_table);
        EXECUTE format('CREATE TRIGGER TR_%s_GPEPISO_UPD AFTER UPDATE ON %I REFERENCING OLD TABLE AS gpe_piso_antigas '
                       'NEW TABLE AS gpe_piso_novas FOR EACH STATEMENT EXECUTE FUNCTION GPE_PISO_NOTIFICA()',
                       v_table, v_table);
        EXECUTE format('CREATE TRIGGER TR_%s_GPEPISO_DEL AFTER DELETE ON %I REFERENCING OLD TABLE AS gpe_piso_antigas '
                       'FOR EACH STATEMENT EXECUTE FUNCTION GPE_PISO_NOTIFICA()', v_table, v_table);
    END LOOP;
END
$$;

COMMIT;
