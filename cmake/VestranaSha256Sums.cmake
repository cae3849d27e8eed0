# cmake -DFILE=program.exe -DOUT=SHA256SUMS -P VestranaSha256Sums.cmake
# writes the file's checksum line as `sha256sum` does, so that
# `sha256sum -c SHA256SUMS` checks it in its folder.
file(SHA256 ${FILE} hash)
get_filename_component(name ${FILE} NAME)
file(WRITE ${OUT} "${hash}  ${name}\n")
