<?php
// tests/lab/network/raw_answer.php: a results server that answers every request with the same raw bytes, then closes.
//
//   php raw_answer.php ADDRESS:PORT FILE
//
// For servers that misbehave: headers of any size, zero bytes, carriage returns only, or (an empty
// FILE) nothing at all. The request is read up to its empty line first, as a real server would.

$server = stream_socket_server('tcp://' . $argv[1], $errno, $error);
if ($server === false) {
    fwrite(STDERR, "raw_answer: cannot listen on {$argv[1]}: $error\n");
    exit(1);
}
$answer = file_get_contents($argv[2]);
while ($client = @stream_socket_accept($server, -1)) {
    $request = '';
    while (strpos($request, "\r\n\r\n") === false && !feof($client)) {
        $piece = fread($client, 4096);
        if ($piece === false || $piece === '') break;
        $request .= $piece;
    }
    if ($answer !== '') @fwrite($client, $answer);
    fclose($client);
}
