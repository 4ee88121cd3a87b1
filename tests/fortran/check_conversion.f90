! Reads a kelvoran input file and its output file with an independent
! Fortran run-time and checks that every output value is its input value
! converted to a 4-byte real, in the output record order.
! Usage: check_conversion infile outfile; prints "OK" and stops with 0, or
! reports the first differences and stops with 1.
program check_conversion
  implicit none
  integer, parameter :: npts = 11094, nlev = 28
  character(len=4096) :: infile, outfile
  character(len=8) :: text(4)
  real(8) :: value, t29(29), t28(28), t144(144), t306(306)
  integer(4) :: ints(4)
  real(8) :: levels(npts, 114), level(npts)
  real(4) :: got(npts)
  integer :: k, rec, i, bad

  call get_command_argument(1, infile)
  call get_command_argument(2, outfile)
  open(10, file=infile, form='unformatted', access='sequential', &
       status='old', convert='big_endian')
  read(10) text
  read(10) value, ints, t29, t28, t144, t306
  read(10) levels(:, 1)                       ! gz
  read(10) levels(:, 2)                       ! q
  do k = 1, nlev
    read(10) levels(:, 2 + k)                 ! te
  end do
  do k = 1, nlev
    read(10) levels(:, 30 + k)                ! uu
    read(10) levels(:, 58 + k)                ! vv
  end do
  do k = 1, nlev
    read(10) levels(:, 86 + k)                ! rq
  end do
  close(10)

  open(11, file=outfile, form='unformatted', access='direct', recl=4*npts, &
       status='old', convert='big_endian')
  bad = 0
  do rec = 1, 114
    read(11, rec=rec) got
    level = levels(:, rec)
    do i = 1, npts
      if (transfer(got(i), 0) /= transfer(real(level(i), 4), 0)) then
        bad = bad + 1
        if (bad <= 5) print '(a,i4,a,i6,a,z8.8,a,z8.8)', 'record', rec, &
            ' value', i, ': file ', transfer(got(i), 0), ' expected ', &
            transfer(real(level(i), 4), 0)
      end if
    end do
  end do
  close(11)
  if (bad /= 0) then
    print '(i0,a)', bad, ' values differ'
    stop 1
  end if
  print '(a)', 'OK'
end program check_conversion
