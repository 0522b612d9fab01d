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
</context>
<context>
    <name>QCommandLineParser</name>
    <message>
        <source>Usage: %1</source>
        <translation>Modo de empleo: %1</translation>
    </message>
</context>
</TS>
