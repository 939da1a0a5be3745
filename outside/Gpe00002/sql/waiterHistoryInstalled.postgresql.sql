SELECT COUNT(*) AS N
  FROM pg_trigger T
  JOIN pg_class C ON C.oid = T.tgrelid
  JOIN pg_namespace S ON S.oid = C.relnamespace
 WHERE S.nspname = current_schema() AND NOT T.tgisinternal AND T.tgenabled <> 'D'
   AND ((C.relname = 'itcomandaven' AND T.tgname = 'tr_itcomandaven_gpehist')
     OR (C.relname = 'vendarest' AND T.tgname = 'tr_vendarest_gpehist'))
   AND EXISTS (SELECT 1 FROM pg_class H
                WHERE H.relnamespace = S.oid AND H.relname = 'gpehistvendedor' AND H.relkind = 'r')
