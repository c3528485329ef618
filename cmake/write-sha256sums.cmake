# Writes DIR/SHA256SUMS for FILES (names in DIR), in the format of
# `sha256sum`, so that `sha256sum -c SHA256SUMS` checks them.
set(lines "")
foreach(name ${FILES})
  file(SHA256 ${DIR}/${name} hash)
  string(APPEND lines "${hash}  ${name}\n")
endforeach()
file(WRITE ${DIR}/SHA256SUMS "${lines}")
