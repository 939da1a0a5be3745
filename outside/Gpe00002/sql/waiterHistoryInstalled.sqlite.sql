SELECT COUNT(*) AS N
  FROM sqlite_master
 WHERE type = 'trigger'
   AND ((UPPER(tbl_name) = 'ITCOMANDAVEN' AND UPPER(name) = 'TR_ITCOMANDAVEN_GPEHIST')
     OR (UPPER(tbl_name) = 'VENDAREST' AND UPPER(name) = 'TR_VENDAREST_GPEHIST'))
   AND EXISTS (SELECT 1 FROM sqlite_master WHERE type = 'table' AND UPPER(name) = 'GPEHISTVENDEDOR')
