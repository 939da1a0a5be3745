SELECT pg_notify(CAST(:P_CANAL AS TEXT),
                 CAST(json_build_object('operacao', CAST(:P_OPERACAO AS TEXT), 'mesas', CAST(:P_MESAS AS JSON),
                                        'jornal', currval(pg_get_serial_sequence('gpejornal', 'nrjornal')))
                      AS TEXT)) AS ENVIADO
