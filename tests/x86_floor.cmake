# What a Pentium III runs: which x86 instructions, read from a disassembly in
# AT&T syntax (objdump's, or QEMU's in_asm log), go beyond SSE. Included by
# the checks that read the plug-in's code.
#
# fftplug_beyond_sse(<out_var> <instruction>): <instruction> is the mnemonic
# and its operands ("movdqu 0x6f8f9a80,%xmm0"); out_var is set to what the
# instruction needs beyond SSE ("SSE2 or later", "AVX", ...) or to "".
#
# fftplug_beyond_integer(<out_var> <instruction>): the same for code that
# runs before anything tells that the processor has SSE (the DLL's entry
# routine): any x87, MMX, SSE or AVX instruction.

# The SSE instructions that use XMM registers (single precision only); every
# other instruction with an XMM operand is SSE2 or later. objdump and QEMU
# may add an operand-size letter to the conversions from and to integers.
set(FFTPLUG_SSE_XMM_MNEMONICS
  "^(mov(a|u|l|h|nt)ps|movss|movlhps|movhlps|movmskps|(add|sub|mul|div|rcp|sqrt|rsqrt|max|min|and|andn|or|xor|shuf|unpckh|unpckl)ps|(add|sub|mul|div|rcp|sqrt|rsqrt|max|min)ss|cmp[a-z]*(ps|ss)|u?comiss|cvtpi2ps|cvtt?ps2pi|cvtsi2ss[lq]?|cvtt?ss2si[lq]?)$")

# Instructions later than the Pentium III that use no XMM register: SSE2's
# fences, cache flush and non-temporal integer store, SSE3's fisttp,
# SSSE3 on MMX registers, and the bit-manipulation extensions.
set(FFTPLUG_LATER_MNEMONICS
  "^(lfence|mfence|clflush|clflushopt|movnti[lq]?|maskmovdqu|fisttp[slq]?|monitor|mwait|lddqu|pshufb|phadd[a-z]*|phsub[a-z]*|pabs[bwd]|palignr|pmaddubsw|pmulhrsw|psign[bwd]|popcnt[wlq]?|lzcnt[wlq]?|tzcnt[wlq]?|crc32[bwlq]?|movbe[wlq]?|andn[lq]?|bextr[lq]?|blsi[lq]?|blsmsk[lq]?|blsr[lq]?|bzhi[lq]?|pdep[lq]?|pext[lq]?|rorx[lq]?|sarx[lq]?|shlx[lq]?|shrx[lq]?|adcx[lq]?|adox[lq]?)$")

# fftplug_split_instruction(<mnemonic_var> <operands_var> <instruction>):
# the mnemonic without the prefixes that any processor accepts, and the rest.
function(fftplug_split_instruction mnemonic_var operands_var instruction)
  string(STRIP "${instruction}" instruction)
  string(REGEX REPLACE "^((rep[a-z]*|lock|data16|addr16|notrack|bnd|[c-gs]s)[ \t]+)+" "" instruction "${instruction}")
  if(instruction MATCHES "^([a-z0-9.]+)[ \t]*(.*)$")
    set(${mnemonic_var} "${CMAKE_MATCH_1}" PARENT_SCOPE)
    set(${operands_var} "${CMAKE_MATCH_2}" PARENT_SCOPE)
  else()
    set(${mnemonic_var} "" PARENT_SCOPE)
    set(${operands_var} "" PARENT_SCOPE)
  endif()
endfunction()

function(fftplug_beyond_sse out_var instruction)
  fftplug_split_instruction(mnemonic operands "${instruction}")
  set(needs "")
  if(operands MATCHES "%zmm|%k[0-7]")
    set(needs "AVX-512")
  elseif(operands MATCHES "%ymm")
    set(needs "AVX")
  elseif(mnemonic MATCHES "^v" AND NOT mnemonic MATCHES "^ver[rw]$")
    set(needs "AVX (VEX or EVEX encoding)")
  elseif(operands MATCHES "%xmm" AND NOT mnemonic MATCHES "${FFTPLUG_SSE_XMM_MNEMONICS}")
    set(needs "SSE2 or later")
  elseif(mnemonic MATCHES "${FFTPLUG_LATER_MNEMONICS}")
    set(needs "a later extension than SSE")
  endif()
  set(${out_var} "${needs}" PARENT_SCOPE)
endfunction()

function(fftplug_beyond_integer out_var instruction)
  fftplug_split_instruction(mnemonic operands "${instruction}")
  set(needs "")
  if(operands MATCHES "%[xyz]?mm[0-9]|%k[0-7]|%st")
    set(needs "a floating-point or vector register")
  elseif(mnemonic MATCHES "^(f[a-z0-9]*|emms|femms|ldmxcsr|stmxcsr|v[a-z0-9]+)$" AND NOT mnemonic MATCHES "^ver[rw]$")
    set(needs "a floating-point or vector instruction")
  else()
    fftplug_beyond_sse(later "${instruction}")
    if(later)
      set(needs "${later}")
    endif()
  endif()
  set(${out_var} "${needs}" PARENT_SCOPE)
endfunction()
