-- A small member file as the shop keeps it, in table order.
INSERT INTO ficha VALUES ('0001', '101', 'Ana', 'Ruiz Gómez', 'Plaza Mayor 3', '28013', 'Madrid', '915 555 123', 'ana@example.es', '13/03/1985', 'Cliente desde 2019', ' 150', '06/2027');
-- Every text field left empty when registered.
INSERT INTO ficha VALUES ('0007', '*****', '*****', '*****', '*****', '*****', '*****', '*****', '*****', '*****', '*****', '*****', '*****');
-- No birth date given at registration; points after an addition.
INSERT INTO ficha VALUES ('0012', '112', 'José Antonio', 'Núñez Peña', 'C/ Alcalá 45, 2º B', '28014', 'Madrid', '600 111 222', '*****', '00/00/0000', '*****', ' 17.5', '00/0000');
-- Two rows with one card number, as only an outside change can leave them.
INSERT INTO ficha VALUES ('0020', '120', 'Primero', 'Duplicado', '*****', '*****', 'Toledo', '*****', '*****', '05/03/1980', '*****', '10', '01/2026');
INSERT INTO ficha VALUES ('0020', '121', 'Segundo', 'Duplicado', '*****', '*****', 'Segovia', '*****', '*****', '06/03/1981', '*****', '20', '02/2026');
-- A card number that differs from 0012 only by its zeros.
INSERT INTO ficha VALUES ('12', '130', 'Íñigo', 'Larrañaga', 'Kalea 1', '20001', 'Donostia', '943 000 000', 'inigo@example.eus', '29/02/1992', 'Notas con "comillas" y ''apóstrofos''', '-5', '12/2030');
