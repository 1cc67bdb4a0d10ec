# crlf.cmake: copies the text file IN to OUT with Windows line ends (CR LF),
# whatever line ends the checked-out source has.
#   cmake -DIN=<source> -DOUT=<destination> -P crlf.cmake
file(READ "${IN}" text)
string(REPLACE "\r\n" "\n" text "${text}")
string(REPLACE "\n" "\r\n" text "${text}")
file(WRITE "${OUT}.part" "${text}")
file(RENAME "${OUT}.part" "${OUT}")
