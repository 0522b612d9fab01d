<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="es" sourcelanguage="en">
<context>
    <name>CommandLineText</name>
    <message>
        <source>Shows this help and exits.</source>
        <translation>Muestra esta ayuda y termina.</translation>
    </message>
    <message>
        <source>Shows the version and exits.</source>
        <translation>Muestra la versión y termina.</translation>
    </message>
    <message>
        <source>FILE</source>
        <translation>ARCHIVO</translation>
    </message>
    <message>
        <source>DIR</source>
        <translation>CARPETA</translation>
    </message>
    <message>
        <source>COPY</source>
        <translation>COPIA</translation>
    </message>
    <message>
        <source>CARD</source>
        <translation>TARJETA</translation>
    </message>
    <message>
        <source>Keeps the members of a loyalty-points card scheme. Without options, opens the window on the member file.</source>
        <translation>Lleva los socios de un programa de tarjetas de puntos. Sin opciones, abre la ventana con el archivo de socios.</translation>
    </message>
    <message>
        <source>Uses the member store at URI for this run instead of the one in socios.conf or the member file at its usual place: a PostgreSQL server (postgresql://user@host:port/database, or postgresql:///database?host=/run/postgresql; the password comes from ~/.pgpass) or the path of a member file.</source>
        <translation>Usa en esta ejecución los socios que hay en URI en lugar de los de socios.conf o del archivo de socios en su lugar habitual: un servidor PostgreSQL (postgresql://usuario@host:puerto/base, o postgresql:///base?host=/run/postgresql; la contraseña se toma de ~/.pgpass) o la ruta de un archivo de socios.</translation>
    </message>
    <message>
        <source>URI</source>
        <translation>URI</translation>
    </message>
    <message>
        <source>unexpected argument: %1</source>
        <translation>argumento inesperado: %1</translation>
    </message>
    <message>
        <source>--%1 cannot be combined with another mode</source>
        <translation>--%1 no se puede combinar con otro modo</translation>
    </message>
    <message>
        <source>Try &apos;socios --help&apos;.</source>
        <translation>Pruebe &apos;socios --help&apos;.</translation>
    </message>
    <message>
        <source>this mode needs the window</source>
        <translation>este modo necesita la ventana</translation>
    </message>
    <message>
        <source>there is no member file at %1</source>
        <translation>no hay ningún archivo de socios en %1</translation>
    </message>
    <message>
        <source>%1 is the member file, which an export never writes over</source>
        <translation>%1 es el archivo de socios, y una exportación nunca lo sobrescribe</translation>
    </message>
    <message>
        <source>nothing was exported.</source>
        <translation>no se ha exportado nada.</translation>
    </message>
    <message>
        <source>cannot write %1: %2</source>
        <translation>no se puede escribir %1: %2</translation>
    </message>
    <message>
        <source>nothing was exported; %1 is as it was before.</source>
        <translation>no se ha exportado nada; %1 está como estaba.</translation>
    </message>
    <message>
        <source>nothing was exported; no file was made at %1.</source>
        <translation>no se ha exportado nada; no se ha creado ningún archivo en %1.</translation>
    </message>
    <message>
        <source>exported %1 members from %2 to %3</source>
        <translation>exportados %1 socios de %2 a %3</translation>
    </message>
    <message>
        <source>%1 fields without a value written as &quot;%2&quot;</source>
        <translation>%1 campos sin valor escritos como &quot;%2&quot;</translation>
    </message>
    <message>
        <source>nothing was changed.</source>
        <translation>no se ha cambiado nada.</translation>
    </message>
    <message>
        <source>imported %1 members from %2 (fields separated by &quot;%3&quot;) into %4</source>
        <translation>importados %1 socios de %2 (campos separados por &quot;%3&quot;) en %4</translation>
    </message>
    <message>
        <source>cannot create the folder %1</source>
        <translation>no se puede crear la carpeta %1</translation>
    </message>
    <message>
        <source>copied %1 to %2, checked</source>
        <translation>copiado %1 en %2, comprobado</translation>
    </message>
    <message>
        <source>a server&apos;s members are restored with pg_restore (see docs/chain.md), not with --restore</source>
        <translation>los socios de un servidor se restauran con pg_restore (vea docs/chain.md), no con --restore</translation>
    </message>
    <message>
        <source>restored %1 (%2 members) as %3</source>
        <translation>restaurado %1 (%2 socios) como %3</translation>
    </message>
    <message>
        <source>the file that was there is kept as %1</source>
        <translation>el archivo que había se conserva como %1</translation>
    </message>
    <message>
        <source>no change of balance recorded for card %1</source>
        <translation>no hay ningún cambio de saldo registrado para la tarjeta %1</translation>
    </message>
    <message>
        <source>1 imported card number is longer than the %1 characters that the till&apos;s prompt keeps; the till cannot open the members holding them:</source>
        <translation>1 número de tarjeta importado tiene más de los %1 caracteres que admite la caja; la caja no puede abrir a los socios que lo tienen:</translation>
    </message>
    <message>
        <source>%1 imported card numbers are longer than the %2 characters that the till&apos;s prompt keeps; the till cannot open the members holding them:</source>
        <translation>%1 números de tarjeta importados tienen más de los %2 caracteres que admite la caja; la caja no puede abrir a los socios que los tienen:</translation>
    </message>
    <message>
        <source>%1 (the till reads %2)</source>
        <translation>%1 (la caja lee %2)</translation>
    </message>
    <message>
        <source>1 imported card number is held by more than one row:</source>
        <translation>1 número de tarjeta importado está en más de una ficha:</translation>
    </message>
    <message>
        <source>%1 imported card numbers are held by more than one row:</source>
        <translation>%1 números de tarjeta importados están en más de una ficha:</translation>
    </message>
    <message>
        <source>%1 (%2 rows)</source>
        <translation>%1 (%2 fichas)</translation>
    </message>
    <message>
        <source>imported %1 members from %2 into %3; %4 fields without a value stored as &quot;%5&quot;</source>
        <translation>importados %1 socios de %2 en %3; %4 campos sin valor guardados como &quot;%5&quot;</translation>
    </message>
    <message>
        <source>converted to text: %1</source>
        <translation>pasados a texto: %1</translation>
    </message>
    <message>
        <source>the Access file is kept as %1</source>
        <translation>el archivo de Access se conserva como %1</translation>
    </message>
    <message>
        <source>nothing was written.</source>
        <translation>no se ha escrito nada.</translation>
    </message>
    <message>
        <source>exported %1 members and %2 points history records from %3 to %4</source>
        <translation>exportados %1 socios y %2 registros del historial de puntos de %3 a %4</translation>
    </message>
    <message>
        <source>Copies table ficha of the Access file FILE into the member file, made as a first start makes it when there is none. Refused when the member file holds members.</source>
        <translation>Copia la tabla ficha del archivo de Access ARCHIVO en el archivo de socios, que se crea como en el primer arranque si no existe. Se rechaza si el archivo de socios ya tiene socios.</translation>
    </message>
    <message>
        <source>Writes every member, in table order, to the CSV file FILE: a header with the field names, &apos;;&apos; between fields, UTF-8 with a byte-order mark, as Excel and LibreOffice open it.</source>
        <translation>Escribe todos los socios, en el orden de la tabla, en el archivo CSV ARCHIVO: una cabecera con los nombres de los campos, &apos;;&apos; entre campos, UTF-8 con marca de orden de bytes, tal como lo abren Excel y LibreOffice.</translation>
    </message>
    <message>
        <source>Writes the workbook FILE (.xlsx) for a spreadsheet: every member, in table order, as text exactly as stored (sheet Socios), the points history (Movimientos) and the figures of the scheme with charts (Resumen).</source>
        <translation>Escribe el libro ARCHIVO (.xlsx) para una hoja de cálculo: todos los socios, en el orden de la tabla, como texto tal como están guardados (hoja Socios), el historial de puntos (Movimientos) y las cifras del programa de puntos con gráficos (Resumen).</translation>
    </message>
    <message>
        <source>Copies the members of the CSV file FILE (as --export-csv writes it, or as a spreadsheet saves it: &apos;;&apos; or &apos;,&apos;, UTF-8 or Windows-1252) into the member file. Refused when the member file holds members.</source>
        <translation>Copia los socios del archivo CSV ARCHIVO (tal como lo escribe --export-csv, o como lo guarda una hoja de cálculo: &apos;;&apos; o &apos;,&apos;, UTF-8 o Windows-1252) en el archivo de socios. Se rechaza si el archivo de socios ya tiene socios.</translation>
    </message>
    <message>
        <source>Writes a checked copy of the member file, named by the date and time, into the folder DIR, while tills may go on working.</source>
        <translation>Escribe en la carpeta CARPETA una copia comprobada del archivo de socios, con la fecha y la hora en el nombre, mientras las cajas siguen trabajando.</translation>
    </message>
    <message>
        <source>Puts the checked copy COPY (with the log beside it, if any) in place of the member file in one step, keeping the current file under another name in the same folder. Refused while a till has the member file open, and when the copy&apos;s tables are not exactly those that socios writes.</source>
        <translation>Pone la copia comprobada COPIA (con el registro que tenga al lado, si lo hay) en el lugar del archivo de socios en un solo paso, y guarda el archivo actual con otro nombre en la misma carpeta. Se rechaza mientras una caja tenga abierto el archivo de socios, y si las tablas de la copia no son exactamente las que escribe socios.</translation>
    </message>
    <message>
        <source>Prints the points history of the card number CARD, oldest first: date and time, operation, balance before, change, balance after and computer, separated by tabs.</source>
        <translation>Muestra el historial de puntos del número de tarjeta TARJETA, del más antiguo al más reciente: fecha y hora, operación, saldo anterior, cambio, saldo posterior y ordenador, separados por tabuladores.</translation>
    </message>
    <message>
        <source>Prints, as UTF-8 JSON, everything the store holds about the card number CARD: its rows of ficha with every field as stored, its points history, and whether the register of erasures names it.</source>
        <translation>Muestra, como JSON en UTF-8, todo lo que se guarda del número de tarjeta TARJETA: sus filas de ficha con cada campo tal como está guardado, su historial de puntos, y si el registro de supresiones lo nombra.</translation>
    </message>
    <message>
        <source>Erases the card number CARD for good, while tills may go on working: its rows of ficha and its points history, in one step, leaving no trace in the member file; then rewrites every copy in MIS PROGRAMAS/copias without it. The register of erasures keeps the number and the day, so that a restore erases it again.</source>
        <translation>Suprime para siempre el número de tarjeta TARJETA, mientras las cajas siguen trabajando: sus filas de ficha y su historial de puntos, en un solo paso, sin dejar rastro en el archivo de socios; después reescribe sin él cada copia de MIS PROGRAMAS/copias. El registro de supresiones guarda el número y el día, para que una restauración lo vuelva a suprimir.</translation>
    </message>
    <message>
        <source>%1 holds nothing of card number %2</source>
        <translation>%1 no guarda nada del número de tarjeta %2</translation>
    </message>
    <message>
        <source>%1 holds nothing of card number %2: it was erased on %3</source>
        <translation>%1 no guarda nada del número de tarjeta %2: se suprimió el %3</translation>
    </message>
    <message>
        <source>%1 holds nothing more of card number %2, which was erased before</source>
        <translation>%1 ya no guarda nada del número de tarjeta %2, que se suprimió antes</translation>
    </message>
    <message>
        <source>erased card number %1 from %2: %3 members and %4 points history records</source>
        <translation>suprimido el número de tarjeta %1 de %2: %3 socios y %4 registros del historial de puntos</translation>
    </message>
    <message>
        <source>other programs reading %1 kept its log (%1-wal) from being emptied: the erased texts may stay in it until they close; run this command again then</source>
        <translation>otros programas que leen %1 no han dejado vaciar su registro (%1-wal): los textos suprimidos pueden quedar en él hasta que se cierren; vuelva a ejecutar entonces esta orden</translation>
    </message>
    <message>
        <source>rewrote the copy %1 without card number %2</source>
        <translation>reescrita la copia %1 sin el número de tarjeta %2</translation>
    </message>
    <message>
        <source>cannot rewrite the copy %1, which may still hold card number %2: %3</source>
        <translation>no se puede reescribir la copia %1, que puede guardar aún el número de tarjeta %2: %3</translation>
    </message>
    <message>
        <source>cannot open %1: %2</source>
        <translation>no se puede abrir %1: %2</translation>
    </message>
    <message>
        <source>cannot create %1: %2</source>
        <translation>no se puede crear %1: %2</translation>
    </message>
    <message>
        <source>no value in field %1: %2</source>
        <translation>falta el valor de un campo en %1: %2</translation>
    </message>
    <message>
        <source>cannot read %1: %2</source>
        <translation>no se puede leer %1: %2</translation>
    </message>
    <message>
        <source>not an Access file %1</source>
        <translation>no es un archivo de Access: %1</translation>
    </message>
    <message>
        <source>cannot read %1</source>
        <translation>no se puede leer %1</translation>
    </message>
    <message>
        <source>damaged Access file %1</source>
        <translation>archivo de Access dañado: %1</translation>
    </message>
    <message>
        <source>no table ficha in %1</source>
        <translation>no hay tabla ficha en %1</translation>
    </message>
    <message>
        <source>table ficha lacks a field in %1</source>
        <translation>a la tabla ficha le falta un campo en %1</translation>
    </message>
    <message>
        <source>a value cannot be stored as text in %1</source>
        <translation>un valor no se puede guardar como texto en %1</translation>
    </message>
    <message>
        <source>the member file holds members already; not importing %1</source>
        <translation>el archivo de socios ya tiene socios; no se importa %1</translation>
    </message>
    <message>
        <source>the member file&apos;s place holds another Access file; not importing %1</source>
        <translation>en el lugar del archivo de socios hay otro archivo de Access; no se importa %1</translation>
    </message>
    <message>
        <source>the member file cannot be used; not importing %1</source>
        <translation>no se puede usar el archivo de socios; no se importa %1</translation>
    </message>
    <message>
        <source>the original cannot be kept; not importing %1</source>
        <translation>no se puede guardar el original; no se importa %1</translation>
    </message>
    <message>
        <source>changed while it was being imported: %1</source>
        <translation>ha cambiado mientras se importaba: %1</translation>
    </message>
    <message>
        <source>the new member file cannot be moved into place; not importing %1</source>
        <translation>no se puede poner el nuevo archivo de socios en su lugar; no se importa %1</translation>
    </message>
    <message>
        <source>the Access reader cannot be started to read %1</source>
        <translation>no se puede iniciar el lector de Access para leer %1</translation>
    </message>
    <message>
        <source>Access file cut short %1</source>
        <translation>archivo de Access cortado: %1</translation>
    </message>
</context>
<context>
    <name>CsvText</name>
    <message>
        <source>not UTF-8, although the file starts with a UTF-8 byte-order mark</source>
        <translation>no está en UTF-8, aunque el archivo empieza con la marca de orden de bytes de UTF-8</translation>
    </message>
    <message>
        <source>a quoted value is never closed</source>
        <translation>un valor entre comillas no se cierra nunca</translation>
    </message>
    <message>
        <source>the file holds no header line</source>
        <translation>el archivo no tiene línea de encabezado</translation>
    </message>
    <message>
        <source>a folder has that name</source>
        <translation>hay una carpeta con ese nombre</translation>
    </message>
    <message>
        <source>the file there is read-only</source>
        <translation>el archivo que hay ahí es de solo lectura</translation>
    </message>
    <message>
        <source>line %1: %2 cells, but the header has %3</source>
        <translation>línea %1: %2 celdas, pero el encabezado tiene %3</translation>
    </message>
    <message>
        <source>line %1: %2</source>
        <translation>línea %1: %2</translation>
    </message>
</context>
<context>
    <name>QCommandLineParser</name>
    <message>
        <source>Usage: %1</source>
        <translation>Modo de empleo: %1</translation>
    </message>
</context>
<context>
    <name>RestoreText</name>
    <message>
        <source>no free name to keep %1 under</source>
        <translation>no queda ningún nombre libre con el que guardar %1</translation>
    </message>
    <message>
        <source>%1 is not a sound member file</source>
        <translation>%1 no es un archivo de socios en buen estado</translation>
    </message>
    <message>
        <source>cannot erase from %1 the members that the register of erasures names</source>
        <translation>no se pueden borrar de %1 los socios que nombra el registro de supresiones</translation>
    </message>
    <message>
        <source>the log of the checked copy %1 could not be written into it</source>
        <translation>el registro de la copia comprobada %1 no se ha podido escribir en ella</translation>
    </message>
    <message>
        <source>cannot keep %1 aside: %2</source>
        <translation>no se puede apartar %1: %2</translation>
    </message>
    <message>
        <source>%1 was replaced meanwhile</source>
        <translation>%1 ha sido sustituido mientras tanto</translation>
    </message>
    <message>
        <source>cannot move the copy into place</source>
        <translation>no se puede poner la copia en su lugar</translation>
    </message>
    <message>
        <source>%1 is not a member file</source>
        <translation>%1 no es un archivo de socios</translation>
    </message>
    <message>
        <source>a till has %1 open</source>
        <translation>una caja tiene abierto %1</translation>
    </message>
    <message>
        <source>a program has %1 open</source>
        <translation>un programa tiene abierto %1</translation>
    </message>
    <message>
        <source>cannot read the register of erasures of %1, which the copy must keep (move that file away to restore without it)</source>
        <translation>no se puede leer el registro de supresiones de %1, que la copia debe conservar (aparte ese archivo para restaurar sin él)</translation>
    </message>
    <message>
        <source>cannot create the folder %1</source>
        <translation>no se puede crear la carpeta %1</translation>
    </message>
    <message>
        <source>cannot copy %1 beside %2</source>
        <translation>no se puede copiar %1 junto a %2</translation>
    </message>
    <message>
        <source>a member file was made at %1 meanwhile</source>
        <translation>mientras tanto se ha creado un archivo de socios en %1</translation>
    </message>
    <message>
        <source>the rewritten copy is damaged</source>
        <translation>la copia reescrita está dañada</translation>
    </message>
    <message>
        <source>the log of the rewritten copy could not be written into it</source>
        <translation>el registro de la copia reescrita no se ha podido escribir en ella</translation>
    </message>
</context>
<context>
    <name>WindowText</name>
    <message>
        <source>The earlier program&apos;s member file</source>
        <translation>Archivo de socios del programa anterior</translation>
    </message>
    <message>
        <source>1 member</source>
        <translation>1 socio</translation>
    </message>
    <message>
        <source>%1 members</source>
        <translation>%1 socios</translation>
    </message>
    <message>
        <source>The file is not an Access file.</source>
        <translation>El archivo no es un archivo de Access.</translation>
    </message>
    <message>
        <source>The file cannot be read whole.</source>
        <translation>El archivo no se puede leer entero.</translation>
    </message>
    <message>
        <source>The file is damaged: not all of its members can be read.</source>
        <translation>El archivo está dañado: no se pueden leer todos sus socios.</translation>
    </message>
    <message>
        <source>The file is incomplete: a part of it is missing, perhaps because it was copied only in part. Not all of its members can be read.</source>
        <translation>El archivo está incompleto: le falta una parte, quizá porque se copió a medias. No se pueden leer todos sus socios.</translation>
    </message>
    <message>
        <source>The file has no table «ficha».</source>
        <translation>El archivo no tiene la tabla «ficha».</translation>
    </message>
    <message>
        <source>The table «ficha» lacks the field «%1».</source>
        <translation>A la tabla «ficha» le falta el campo «%1».</translation>
    </message>
    <message>
        <source>The table «ficha» holds a value that cannot be stored as text.</source>
        <translation>La tabla «ficha» tiene un valor que no se puede guardar como texto.</translation>
    </message>
    <message>
        <source>Another member file is in its place already.</source>
        <translation>Ya hay otro archivo de socios en su sitio.</translation>
    </message>
    <message>
        <source>The new member file cannot be created.</source>
        <translation>No se puede crear el nuevo archivo de socios.</translation>
    </message>
    <message>
        <source>The copy of the original file cannot be kept in the same folder.</source>
        <translation>No se puede guardar la copia del archivo original en la misma carpeta.</translation>
    </message>
    <message>
        <source>Another program changed the file while it was being imported.</source>
        <translation>Otro programa ha cambiado el archivo mientras se importaba.</translation>
    </message>
    <message>
        <source>The new member file cannot be put in its place.</source>
        <translation>No se puede poner el nuevo archivo de socios en su sitio.</translation>
    </message>
    <message>
        <source>The program that reads Access files (socios-mdb-reader) is missing; install socios again.</source>
        <translation>Falta el programa que lee los archivos de Access (socios-mdb-reader); vuelva a instalar socios.</translation>
    </message>
    <message>
        <source>The members of the earlier program&apos;s file could not be imported:
</source>
        <translation>No se han podido importar los socios del archivo del programa anterior:
</translation>
    </message>
    <message>
        <source>Nothing was changed: the original file is still in its place, as it was.</source>
        <translation>No se ha cambiado nada: el archivo original sigue en su sitio, tal como estaba.</translation>
    </message>
    <message>
        <source>Detail: </source>
        <translation>Detalle: </translation>
    </message>
    <message>
        <source>%1 and %2 more (all of them in the details)</source>
        <translation>%1 y %2 más (todos en los detalles)</translation>
    </message>
    <message>
        <source>%1 rows</source>
        <translation>%1 fichas</translation>
    </message>
    <message>
        <source>%1 (the till reads %2)</source>
        <translation>%1 (la caja lee %2)</translation>
    </message>
    <message>
        <source>The card number %1 has more than %2 characters, and the till reads only the first %2: it cannot open that member.</source>
        <translation>El número de tarjeta %1 tiene más de %2 caracteres, y la caja solo lee los %2 primeros: no puede abrir a ese socio.</translation>
    </message>
    <message>
        <source>%1 card numbers have more than %2 characters, and the till reads only the first %2: it cannot open those members. They are: %3.</source>
        <translation>%1 números de tarjeta tienen más de %2 caracteres, y la caja solo lee los %2 primeros: no puede abrir a esos socios. Son: %3.</translation>
    </message>
    <message>
        <source>Card numbers with more than %1 characters:</source>
        <translation>Números de tarjeta con más de %1 caracteres:</translation>
    </message>
    <message>
        <source>The card number %1 is in %2.</source>
        <translation>El número de tarjeta %1 está en %2.</translation>
    </message>
    <message>
        <source>%1 card numbers are in more than one row: %2.</source>
        <translation>%1 números de tarjeta están en más de una ficha: %2.</translation>
    </message>
    <message>
        <source>Card numbers that are in more than one row:</source>
        <translation>Números de tarjeta que están en más de una ficha:</translation>
    </message>
    <message>
        <source>%1 imported from the earlier program&apos;s file.</source>
        <translation>Se han importado %1 del archivo del programa anterior.</translation>
    </message>
    <message>
        <source>There were no fields without a value.</source>
        <translation>No había campos sin valor.</translation>
    </message>
    <message>
        <source>1 field without a value was stored as «%1».</source>
        <translation>1 campo sin valor se ha guardado como «%1».</translation>
    </message>
    <message>
        <source>%1 fields without a value were stored as «%2».</source>
        <translation>%1 campos sin valor se han guardado como «%2».</translation>
    </message>
    <message>
        <source>The fields that were not text were made text: %1.</source>
        <translation>Se han pasado a texto los campos que no lo eran: %1.</translation>
    </message>
    <message>
        <source>The original file is kept unchanged as:
</source>
        <translation>El archivo original se conserva sin cambios como:
</translation>
    </message>
    <message>
        <source>The member file
%1
is the earlier program&apos;s (Access) and holds %2.

Import the members into the new member file? The original file will be kept unchanged in the same folder under the name «%3».</source>
        <translation>El archivo de socios
%1
es el del programa anterior (Access) y tiene %2.

¿Importar los socios al nuevo archivo de socios? El archivo original se conservará sin cambios en la misma carpeta con el nombre «%3».</translation>
    </message>
    <message>
        <source>Reading the members…</source>
        <translation>Leyendo los socios…</translation>
    </message>
    <message>
        <source>Saving the members in the new file…</source>
        <translation>Guardando los socios en el nuevo archivo…</translation>
    </message>
    <message>
        <source>Import</source>
        <translation>Importar</translation>
    </message>
    <message>
        <source>Quit</source>
        <translation>Salir</translation>
    </message>
    <message>
        <source>The member file cannot be opened:</source>
        <translation>No se puede abrir el archivo de socios:</translation>
    </message>
    <message>
        <source>The member file cannot be created:</source>
        <translation>No se puede crear el archivo de socios:</translation>
    </message>
    <message>
        <source>The members cannot be read from the file:</source>
        <translation>No se pueden leer los socios del archivo:</translation>
    </message>
    <message>
        <source>The member file holds a row with a field without a value:</source>
        <translation>El archivo de socios tiene una ficha con un campo sin valor:</translation>
    </message>
    <message>
        <source>The change was not saved; nothing was written to the member file:</source>
        <translation>No se ha guardado el cambio; no se ha escrito nada en el archivo de socios:</translation>
    </message>
    <message>
        <source>The member server cannot be used:</source>
        <translation>No se puede usar el servidor de socios:</translation>
    </message>
    <message>
        <source>The member tables cannot be created on the server:</source>
        <translation>No se pueden crear las tablas de socios en el servidor:</translation>
    </message>
    <message>
        <source>The members cannot be read from the server:</source>
        <translation>No se pueden leer los socios del servidor:</translation>
    </message>
    <message>
        <source>The member server holds a row with a field without a value:</source>
        <translation>El servidor de socios tiene una ficha con un campo sin valor:</translation>
    </message>
    <message>
        <source>The connection to the member server was lost while the change was being saved:</source>
        <translation>Se ha perdido la conexión con el servidor de socios mientras se guardaba el cambio:</translation>
    </message>
    <message>
        <source>The change was not saved; nothing was written to the member server:</source>
        <translation>No se ha guardado el cambio; no se ha escrito nada en el servidor de socios:</translation>
    </message>
    <message>
        <source>There is no connection to the server: it may be off or restarting, or the network may be down. Check the network and try again; the program connects again by itself.</source>
        <translation>No hay conexión con el servidor: puede estar apagado o reiniciándose, o haberse cortado la red. Compruebe la red e inténtelo de nuevo; el programa vuelve a conectarse solo.</translation>
    </message>
    <message>
        <source>The server does not accept the connection. Check the user, the password (in the file .pgpass) and the name of the database, or tell whoever runs the server.</source>
        <translation>El servidor no acepta la conexión. Revise el usuario, la contraseña (en el archivo .pgpass) y el nombre de la base de datos, o avise a quien administra el servidor.</translation>
    </message>
    <message>
        <source>The change may or may not have been saved. Before making it again, look the member up so as not to save it twice.</source>
        <translation>Puede que el cambio se haya guardado o no. Antes de repetirlo, consulte la ficha del socio para no guardarlo dos veces.</translation>
    </message>
    <message>
        <source>Another till is saving the same data. Wait a few seconds and try again.</source>
        <translation>Otra caja está guardando los mismos datos. Espere unos segundos e inténtelo de nuevo.</translation>
    </message>
    <message>
        <source>The server lets the members be looked up but not changed (a read-only server, or a user without permission to write). Tell whoever runs the server.</source>
        <translation>El servidor solo permite consultar los socios, no guardar cambios (un servidor de solo lectura, o un usuario sin permiso para escribir). Avise a quien administra el servidor.</translation>
    </message>
    <message>
        <source>The table «ficha» of that database is not a plain table of text (it is a view, it has triggers or rules, or fields that are not text). It was not changed.</source>
        <translation>La tabla «ficha» de esa base de datos no es una tabla de texto corriente (es una vista, tiene disparadores o reglas, o campos que no son de texto). No se ha modificado.</translation>
    </message>
    <message>
        <source>The server took too long to answer and the operation was stopped. Nothing was saved.</source>
        <translation>El servidor ha tardado demasiado en responder y se ha detenido la operación. No se ha guardado nada.</translation>
    </message>
    <message>
        <source>The server&apos;s disk is full. Tell whoever runs the server.</source>
        <translation>El disco del servidor está lleno. Avise a quien administra el servidor.</translation>
    </message>
    <message>
        <source>That database is not the member database (the table «ficha» or one of its fields is missing). It was not changed.</source>
        <translation>Esa base de datos no es la de socios (falta la tabla «ficha» o alguno de sus campos). No se ha modificado.</translation>
    </message>
    <message>
        <source>The database does not exist or cannot be opened.</source>
        <translation>La base de datos no existe o no se puede abrir.</translation>
    </message>
    <message>
        <source>The server reports damaged data. Tell whoever runs the server.</source>
        <translation>El servidor informa de datos dañados. Avise a quien administra el servidor.</translation>
    </message>
    <message>
        <source>a row</source>
        <translation>una ficha</translation>
    </message>
    <message>
        <source>the row of card %1</source>
        <translation>la ficha de la tarjeta %1</translation>
    </message>
    <message>
        <source>The field «%1» of %2 is empty without a mark; another program has changed it.</source>
        <translation>El campo «%1» de %2 está vacío sin marca; otro programa lo ha modificado.</translation>
    </message>
    <message>
        <source>Another program (perhaps another till) is using the file. Wait a few seconds and try again.</source>
        <translation>Otro programa (quizá otra caja) está usando el archivo. Espere unos segundos e inténtelo de nuevo.</translation>
    </message>
    <message>
        <source>The file or its folder is read-only: the members can be looked up, but no change can be saved.</source>
        <translation>El archivo o su carpeta son de solo lectura: se pueden consultar los socios, pero no guardar cambios.</translation>
    </message>
    <message>
        <source>An earlier save was cut short and must be undone, but the file or its folder is read-only. Allow writing to the file and its folder and open the program again.</source>
        <translation>Un guardado anterior quedó a medias y hay que deshacerlo, pero el archivo o su carpeta son de solo lectura. Dé permiso de escritura al archivo y a su carpeta y vuelva a abrir el programa.</translation>
    </message>
    <message>
        <source>Beside the file are unfinished changes of another file (the member file is missing or was replaced by another). So as not to damage it, nothing was changed. Do not delete or move those files: restore a backup with the program, or ask for help.</source>
        <translation>Junto al archivo hay cambios sin terminar de otro archivo (falta el archivo de socios o lo han sustituido por otro). Para no dañarlo no se ha modificado nada. No borre ni mueva esos archivos: recupere una copia de seguridad con el programa o pida ayuda.</translation>
    </message>
    <message>
        <source>The table «ficha» of that file is not a plain table of text (it is a view, it has triggers, or fields that are not text). It was not changed.</source>
        <translation>La tabla «ficha» de ese archivo no es una tabla de texto corriente (es una vista, tiene disparadores o campos que no son de texto). No se ha modificado.</translation>
    </message>
    <message>
        <source>A backup is being restored in the member file&apos;s place. Wait until it ends and try again.</source>
        <translation>Se está restaurando una copia de seguridad en el lugar del archivo de socios. Espere a que termine e inténtelo de nuevo.</translation>
    </message>
    <message>
        <source>The file took too long to answer and the operation was stopped. Nothing was saved.</source>
        <translation>El archivo ha tardado demasiado en responder y se ha detenido la operación. No se ha guardado nada.</translation>
    </message>
    <message>
        <source>The disk is full. Free some space and try again.</source>
        <translation>El disco está lleno. Libere espacio e inténtelo de nuevo.</translation>
    </message>
    <message>
        <source>That file is not a member file (the table «ficha» or one of its fields is missing). It was not changed.</source>
        <translation>Ese archivo no es un archivo de socios (falta la tabla «ficha» o alguno de sus campos). No se ha modificado.</translation>
    </message>
    <message>
        <source>The file does not exist or cannot be read.</source>
        <translation>El archivo no existe o no se puede leer.</translation>
    </message>
    <message>
        <source>The file is damaged. Restore the latest backup.</source>
        <translation>El archivo está dañado. Recupere la última copia de seguridad.</translation>
    </message>
    <message>
        <source>Member file error</source>
        <translation>Error en el archivo de socios</translation>
    </message>
    <message>
        <source>Member server error</source>
        <translation>Error en el servidor de socios</translation>
    </message>
    <message>
        <source>The database&apos;s message: </source>
        <translation>Mensaje de la base de datos: </translation>
    </message>
    <message>
        <source>Preparing the birthday list…</source>
        <translation>Preparando la lista de cumpleaños…</translation>
    </message>
    <message>
        <source>The member server&apos;s database was empty, so the member tables were made in it, without any member:
%1</source>
        <translation>La base de datos del servidor de socios estaba vacía, así que se han creado en ella las tablas de socios, sin ningún socio:
%1</translation>
    </message>
    <message>
        <source>The member server only allows lookups:
%1

The members can be looked up, but no member can be registered and no change saved.</source>
        <translation>El servidor de socios solo permite consultar:
%1

Se pueden consultar los socios, pero no dar altas ni guardar cambios.</translation>
    </message>
    <message>
        <source>There was no member file, so a new, empty one was made at:
%1

If you expected to see your members, close the program and check that the folder or the drive where they were is there.</source>
        <translation>No había ningún archivo de socios, así que se ha creado uno nuevo y vacío en:
%1

Si esperaba ver sus socios, cierre el programa y compruebe que la carpeta o la unidad donde estaban está disponible.</translation>
    </message>
    <message>
        <source>The member file is read-only:
%1

The last changes saved are complete, but they were left beside the file, in %2, and are not inside it yet. The members can be looked up with those changes, but no member can be registered and no change saved. The changes go into the file as soon as the file and its folder can be written again; meanwhile, do not delete or move %2.</source>
        <translation>El archivo de socios es de solo lectura:
%1

Los últimos cambios guardados están completos, pero quedaron junto al archivo, en %2, y todavía no dentro de él. Se pueden consultar los socios con esos cambios, pero no dar altas ni guardar cambios. Los cambios pasarán al archivo en cuanto se pueda volver a escribir en el archivo y en su carpeta; mientras tanto, no borre ni mueva %2.</translation>
    </message>
    <message>
        <source>The member file is read-only:
%1

The members can be looked up, but no member can be registered and no change saved.</source>
        <translation>El archivo de socios es de solo lectura:
%1

Se pueden consultar los socios, pero no dar altas ni guardar cambios.</translation>
    </message>
    <message>
        <source>The disk is full:
%1

The members can be looked up, but no member can be registered and no change saved until some space is freed.</source>
        <translation>El disco está lleno:
%1

Se pueden consultar los socios, pero no dar altas ni guardar cambios hasta que libere espacio.</translation>
    </message>
    <message>
        <source>The member file is damaged:
%1

The members can be looked up, but no change will be saved. </source>
        <translation>El archivo de socios está dañado:
%1

Se pueden consultar los socios, pero no se guardará ningún cambio. </translation>
    </message>
    <message>
        <source>The latest good backup is the one of %1:
%2

Close the program and restore it with the command:
socios --restore &quot;%2&quot;</source>
        <translation>La última copia de seguridad buena es la del %1:
%2

Cierre el programa y recupérela con la orden:
socios --restore &quot;%2&quot;</translation>
    </message>
    <message>
        <source>There is no good backup. Close the program and ask for help.</source>
        <translation>No hay ninguna copia de seguridad buena. Cierre el programa y pida ayuda.</translation>
    </message>
    <message>
        <source>The disk is full.</source>
        <translation>El disco está lleno.</translation>
    </message>
    <message>
        <source>The folder is read-only.</source>
        <translation>La carpeta es de solo lectura.</translation>
    </message>
    <message>
        <source>Today&apos;s backup could not be made in:
%1

%2%3The program goes on working as usual.</source>
        <translation>No se ha podido hacer la copia de seguridad de hoy en:
%1

%2%3El programa sigue funcionando con normalidad.</translation>
    </message>
    <message>
        <source>Where the members are cannot be told: the configuration file
%1
is not valid. Correct it (or delete it to use this computer&apos;s member file) and open the program again.</source>
        <translation>No se puede saber dónde están los socios: el archivo de configuración
%1
no es válido. Corríjalo (o bórrelo para usar el archivo de socios de este ordenador) y vuelva a abrir el programa.</translation>
    </message>
    <message>
        <source>The program cannot open: this user&apos;s home folder cannot be found (it is not given, does not exist, or its name cannot be read), and that is where the member file is kept, MIS PROGRAMAS/dorvel.mdb. So as not to make a member file anywhere else, the program does not open. Tell whoever runs this computer.</source>
        <translation>No se puede abrir el programa: no se encuentra la carpeta personal de este usuario (no está indicada, no existe o su nombre no se puede leer), que es donde se guarda el archivo de socios, MIS PROGRAMAS/dorvel.mdb. Para no crear un archivo de socios en otro sitio, el programa no se abre. Avise a quien administra este ordenador.</translation>
    </message>
</context>
<context>
    <name>WorkbookText</name>
    <message>
        <source>field %1 of card %2 holds %3 characters; a spreadsheet cell holds at most 32767</source>
        <translation>el campo %1 de la tarjeta %2 tiene %3 caracteres; una celda de hoja de cálculo admite como mucho 32767</translation>
    </message>
    <message>
        <source>a points history record of card %1 holds more characters than a spreadsheet cell</source>
        <translation>un movimiento de puntos de la tarjeta %1 tiene más caracteres de los que admite una celda de hoja de cálculo</translation>
    </message>
    <message>
        <source>it is the member file</source>
        <translation>es el archivo de socios</translation>
    </message>
</context>
</TS>
